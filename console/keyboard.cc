#include "console/keyboard.h"

namespace console {

Keyboard::Keyboard(Device& device) : device_(device), key_codes_(device.key_map()) {}

Keyboard::~Keyboard() {
  if (handler_registered_) device_.RemoveControlHandler();
}

void Keyboard::Lock() const {
  while (busy_.test_and_set(std::memory_order_acquire)) {
  }
}

void Keyboard::Unlock() const { busy_.clear(std::memory_order_release); }

bool Keyboard::OnControlEvent(uint32_t event, void* context) {
  auto* keyboard = static_cast<Keyboard*>(context);
  switch (event) {
    case kCtrlCloseEvent:
    case kCtrlLogoffEvent:
    case kCtrlShutdownEvent:
      // A full queue keeps its keys; the close key, which the line reader
      // ignores anyway, is then not added.
      keyboard->Push(kCloseKeyCode);
      return true;
    default: return false;  // Ctrl+C and Ctrl+Break: the system ends the program
  }
}

void Keyboard::Drain() {
  if (!handler_registered_) {
    handler_registered_ = true;
    device_.AddControlHandler(&Keyboard::OnControlEvent, this);
  }
  InputEvent event;
  while (kQueueSlots - 1 - queued() >= kRoomPerEvent && device_.NextInputEvent(&event)) {
    if (event.type == InputEvent::Type::kBufferSize) Push(kConsoleResized);
    if (event.type != InputEvent::Type::kKey) continue;
    decoded_.clear();
    key_codes_.Handle(event.key, &decoded_);
    for (int code : decoded_) Push(code);
  }
}

bool Keyboard::Push(int code) {
  Lock();
  const size_t next = (head_ + 1) % kQueueSlots;
  const bool room = next != tail_;
  if (room) {
    slots_[head_] = code;
    head_ = next;
  }
  Unlock();
  return room;
}

bool Keyboard::Pop(int* code) {
  Lock();
  bool any = head_ != tail_;
  if (any) {
    *code = slots_[tail_];
    tail_ = (tail_ + 1) % kQueueSlots;
  }
  Unlock();
  return any;
}

size_t Keyboard::queued() const {
  Lock();
  size_t count = (head_ + kQueueSlots - tail_) % kQueueSlots;
  Unlock();
  return count;
}

}  // namespace console

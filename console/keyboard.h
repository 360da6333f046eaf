// The console engine's keyboard side: the key queue, draining console input
// events into it, and the console control handler.
#ifndef PATCONV_CONSOLE_KEYBOARD_H_
#define PATCONV_CONSOLE_KEYBOARD_H_

#include <array>
#include <atomic>
#include <cstddef>
#include <vector>

#include "console/device.h"
#include "console/key_codes.h"

namespace console {

class Keyboard {
 public:
  /// Slots of the key queue; it holds one code less.
  static constexpr size_t kQueueSlots = 512;
  /// Room a drain keeps before it takes one more input event: the one code
  /// an event gives at most, and the close key that the control handler's
  /// thread may add meanwhile.
  static constexpr size_t kRoomPerEvent = 2;
  /// How long a wait for a key sleeps between looks at the input, where
  /// the device cannot be woken by its input (Device::WaitForInput).
  static constexpr int kPollMs = 25;

  explicit Keyboard(Device& device);
  /// Removes the control handler if it was registered.
  ~Keyboard();
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  /// Takes the waiting console input events while the queue has room for
  /// the codes of one more: key presses become key codes in the queue (with
  /// Alt-number entry), a change of the buffer's size kConsoleResized,
  /// everything else is dropped.  A full queue leaves the rest of the input
  /// with the system, so no typed key is ever lost.  The first drain
  /// registers the control handler.
  void Drain();
  /// Drains the input and takes the oldest key code, waiting for input
  /// between looks while the queue is empty.  `before_sleep` runs before
  /// each wait (to show output that is still held back).
  template <class BeforeSleep>
  int WaitKey(BeforeSleep before_sleep) {
    int code;
    for (;;) {
      Drain();
      if (Pop(&code)) return code;
      before_sleep();
      device_.WaitForInput(kPollMs);
    }
  }

  /// Adds a code to the queue; false, and nothing changed, when it is full.
  /// Safe to call from the control handler's thread.
  bool Push(int code);
  /// Takes the oldest code; false when the queue is empty.
  bool Pop(int* code);
  /// Codes waiting in the queue.
  size_t queued() const;

 private:
  static bool OnControlEvent(uint32_t event, void* context);
  void Lock() const;
  void Unlock() const;

  Device& device_;
  KeyCodes key_codes_;
  std::vector<int> decoded_;
  std::array<int, kQueueSlots> slots_{};
  size_t head_ = 0;  // where the next code goes
  size_t tail_ = 0;  // the oldest code
  mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  bool handler_registered_ = false;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_KEYBOARD_H_

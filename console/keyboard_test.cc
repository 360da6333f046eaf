// The key queue, the draining of console input events, the control handler
// and the wait for a key, seen through the lines a prompt reads and the
// memory console's records.
#include "console/keyboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/key_codes.h"
#include "console/testing/rig.h"

namespace console {
namespace {

InputEvent KeyDown(char character, uint16_t repeat_count = 1, bool down = true) {
  InputEvent event;
  event.type = InputEvent::Type::kKey;
  event.key.key_down = down;
  event.key.repeat_count = repeat_count;
  event.key.character = static_cast<uint8_t>(character);
  auto vk_shift = UsKeyMap().CharToVirtualKey(static_cast<uint8_t>(character));
  event.key.virtual_key = static_cast<uint16_t>(vk_shift & 0xFF);
  event.key.scan_code = static_cast<uint16_t>(UsKeyMap().VirtualKeyToScan(vk_shift & 0xFF));
  if ((vk_shift & 0x100) != 0) event.key.control_state = kShiftPressed;
  return event;
}

// --- The key queue -------------------------------------------------------------------

TEST(KeyboardQueue, HoldsAtMost511CodesAndRefusesMoreKeepingTheOldest) {
  struct Case {
    int pushed;
    size_t held;
  };
  const Case cases[] = {{1, 1}, {511, 511}, {512, 511}, {600, 511}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.pushed) + " codes pushed");
    MemoryDevice device;
    Keyboard keyboard(device);
    int refused = 0;
    for (int code = 1; code <= c.pushed; ++code) {
      if (!keyboard.Push(code)) ++refused;
    }
    EXPECT_EQ(keyboard.queued(), c.held);
    EXPECT_EQ(static_cast<size_t>(refused), static_cast<size_t>(c.pushed) - c.held);
    std::vector<int> codes;
    int code = 0;
    while (keyboard.Pop(&code)) codes.push_back(code);
    ASSERT_EQ(codes.size(), c.held);
    for (size_t i = 0; i < codes.size(); ++i) {
      ASSERT_EQ(codes[i], 1 + static_cast<int>(i)) << "at " << i;
    }
  }
}

TEST(KeyboardQueue, KeysTypedFasterThanTheyAreTakenAllArrive) {
  // A paste of 5,000 characters and Enter, all waiting before the prompt:
  // the queue takes what it has room for and the rest waits with the
  // system, in order.
  std::string typed;
  for (int i = 0; i < 5000; ++i) typed.push_back(static_cast<char>('a' + i % 26));
  Rig rig(Shape(80, 25));
  rig.device.Type(typed + "{Enter}");
  rig.console.ClearScreen();
  rig.console.Print("P? ");
  EXPECT_EQ(rig.console.ReadLine(), typed);
  EXPECT_EQ(rig.device.events_left(), 0u);
  // "P? " and 5,000 characters: 62 full rows and 43 characters on the last.
  const Rows rows = rig.device.WindowRows();
  EXPECT_EQ(rows[23], typed.substr(typed.size() - 43 - 80, 80));
  EXPECT_EQ(rows[24], typed.substr(typed.size() - 43));
}

TEST(KeyboardQueue, KeysTypedAheadAnswerTheNextPromptsInOrder) {
  Rig rig(Shape(20, 6));
  rig.device.Type("one{Enter}two{Enter}three");
  rig.console.ClearScreen();
  rig.console.Print("Title\r\n");
  EXPECT_EQ(rig.Ask("A"), "one");
  rig.console.Print("working\r\n");
  EXPECT_EQ(rig.Ask("B"), "two");
  rig.device.Type("{Enter}");
  EXPECT_EQ(rig.Ask("C"), "three");
  EXPECT_EQ(rig.device.WindowRows(),
            (Rows{"Title", "A? one", "working", "B? two", "C? three", ""}));
}

// --- Input events ------------------------------------------------------------------

TEST(KeyboardInputEvents, OnlyKeyDownEventsWithARepeatCountGiveOneCodeEach) {
  Rig rig(Shape(20, 4));
  InputEvent other;
  other.type = InputEvent::Type::kOther;  // mouse, focus, menu
  other.key = KeyDown('z').key;
  rig.device.AddEvent(other);
  rig.device.AddEvent(KeyDown('u', 1, false));  // a key-up alone
  rig.device.AddEvent(KeyDown('r', 0));         // a repeat count of 0
  rig.device.AddEvent(KeyDown('a', 3));         // one code, whatever the count
  rig.device.AddEvent(KeyDown('B'));
  rig.device.Type("{Shift+Tab}");  // not a character: an extended code the line ignores
  rig.device.Type("{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "aB");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"P? aB", "", "", ""}));
  EXPECT_EQ(rig.device.events_left(), 0u);
}

// --- The control handler ----------------------------------------------------------------

TEST(KeyboardControlHandler, IsRegisteredAtTheFirstWaitForAKeyAndRemovedWithTheConsole) {
  MemoryDevice device(Shape(20, 4));
  {
    textio::Channels channels;
    Console console(device, channels);
    console.ClearScreen();
    console.Print("text\r\n");
    console.PlaceCursor(3, 1, 0);
    EXPECT_FALSE(device.handler_registered());
    device.Type("a{Enter}");
    console.PromptedInput("P", true, true);
    EXPECT_TRUE(device.handler_registered());
  }
  EXPECT_FALSE(device.handler_registered());
}

TEST(KeyboardControlHandler, CloseLogoffAndShutdownQueueTheCloseKeyOthersAreLeftToTheSystem) {
  struct Case {
    uint32_t event;
    bool handled;
  };
  const Case cases[] = {{kCtrlCEvent, false},
                        {kCtrlBreakEvent, false},
                        {kCtrlCloseEvent, true},
                        {kCtrlLogoffEvent, true},
                        {kCtrlShutdownEvent, true},
                        {3, false},
                        {4, false},
                        {7, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("control event " + std::to_string(c.event));
    Rig rig(Shape(20, 4));
    rig.device.Type("{Enter}");
    rig.console.ClearScreen();
    rig.Ask("P");  // the first wait registers the handler
    EXPECT_EQ(rig.device.SendControlEvent(c.event), c.handled);
    EXPECT_EQ(rig.console.keyboard().queued(), c.handled ? 1u : 0u);
    int code = 0;
    if (c.handled) {
      ASSERT_TRUE(rig.console.keyboard().Pop(&code));
      EXPECT_EQ(code, 0x6BFF);
    }
  }
}

TEST(KeyboardControlHandler, TheCloseKeyIsIgnoredByThePromptWaitingForALine) {
  Rig rig(Shape(20, 4));
  int waits = 0;
  rig.device.SetIdleHook([&] {
    ++waits;
    if (waits == 1) {
      rig.device.SendControlEvent(kCtrlCloseEvent);  // the console window is closed
    } else if (waits == 2) {
      rig.device.Type("ok{Enter}");
    }
  });
  rig.device.Type("a");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "aok");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"P? aok", "", "", ""}));
  EXPECT_EQ(waits, 2);
}

// --- Waiting for a key ---------------------------------------------------------------------

TEST(KeyboardWaitForAKey, SleepsTwentyFiveMillisecondsBetweenLooks) {
  Rig rig(Shape(20, 4));
  rig.device.SetIdleHook([&] {
    if (rig.device.sleeps() == 3) rig.device.Type("a{Enter}");
  });
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "a");
  EXPECT_EQ(rig.device.sleep_lengths(), (std::vector<int>{25, 25, 25}));
}

TEST(KeyboardWaitForAKey, KeysAlreadyTypedAreTakenWithoutSleeping) {
  Rig rig(Shape(20, 4));
  rig.device.Type("abc{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "abc");
  EXPECT_EQ(rig.device.sleeps(), 0);
}

}  // namespace
}  // namespace console

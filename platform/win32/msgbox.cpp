#include "platform/win32/msgbox.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace {

void TerminalBell(UINT) {
  // Only a terminal turns BEL into a sound; anywhere else it would be a stray byte.
  if (isatty(STDERR_FILENO)) std::fputc('\a', stderr);
}

TBeepSink& Sink() {
  static TBeepSink sink = TerminalBell;
  return sink;
}

bool IsBeepKind(UINT type) {
  switch (type) {
    case 0: case 0xFFFFFFFF:
    case MB_ICONHAND: case MB_ICONQUESTION: case MB_ICONEXCLAMATION: case MB_ICONASTERISK:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool MessageBeep(UINT type) {
  if (!IsBeepKind(type)) return false;
  if (Sink()) Sink()(type);
  return true;
}

TBeepSink SetBeepSink(TBeepSink sink) { return std::exchange(Sink(), std::move(sink)); }

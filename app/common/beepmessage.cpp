#include "app/common/beepmessage.h"

#include "platform/classlib/dialogs/dialogs.h"
#include "platform/win32/msgbox.h"

void ShowBeepMessage(const std::string& text, int type) {
  MessageBeep(type == kMsgError ? MB_ICONEXCLAMATION : MB_ICONASTERISK);
  MessageDlg(text, TMsgDlgType(type), {mbOK}, 0);
}

void ShowBeepInfo(const std::string& text) { ShowBeepMessage(text, kMsgInformation); }

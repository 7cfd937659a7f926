#include "report/output/ppforms.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/persistent.h"

// Stand-ins for a form base and two forms that may serve it.
class TTestCustomPreviewer : public TPersistent {
  DECLARE_CLASS(TTestCustomPreviewer, TPersistent)
};
class TTestPreviewA : public TTestCustomPreviewer {
  DECLARE_CLASS(TTestPreviewA, TTestCustomPreviewer)
};
class TTestPreviewB : public TTestCustomPreviewer {
  DECLARE_CLASS(TTestPreviewB, TTestCustomPreviewer)
};
IMPLEMENT_CLASS(TTestCustomPreviewer, TPersistent)
IMPLEMENT_CLASS(TTestPreviewA, TTestCustomPreviewer)
IMPLEMENT_CLASS(TTestPreviewB, TTestCustomPreviewer)

namespace {

TEST(ReportForms, ALaterRegistrationReplacesAndUnregisteringForgets) {
  const TClass base = TTestCustomPreviewer::StaticClass();
  EXPECT_EQ(ppGetFormClass(base), nullptr);
  ppRegisterForm(TTestPreviewA::StaticClass(), base);
  EXPECT_EQ(ppGetFormClass(base), TTestPreviewA::StaticClass());
  ppRegisterForm(TTestPreviewB::StaticClass(), base);
  EXPECT_EQ(ppGetFormClass(base), TTestPreviewB::StaticClass());
  EXPECT_EQ(GetClass("TTestPreviewB"), TTestPreviewB::StaticClass());
  ppUnregisterForm(base);
  EXPECT_EQ(ppGetFormClass(base), nullptr);
  EXPECT_EQ(GetClass("TTestPreviewB"), nullptr);
  ppUnregisterForm(base);  // nothing left: no effect
  EXPECT_EQ(ppGetFormClass(nullptr), nullptr);
}

}  // namespace

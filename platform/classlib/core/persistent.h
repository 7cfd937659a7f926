#pragma once
// TPersistent: objects that can be assigned to each other and streamed.

#include <string>

#include "platform/classlib/core/object.h"

class TFiler;

class TPersistent : public TObject {
  DECLARE_CLASS(TPersistent, TObject)
 public:
  // Copies source into this object; the default asks the source to do it and
  // raises EConvertError ("Cannot assign a X to a Y") when neither side can.
  virtual void Assign(const TPersistent* source);
  // The dotted path that names this object to the user ("Form1.Button1.Font").
  virtual std::string GetNamePath() const;

 protected:
  virtual void AssignTo(TPersistent* dest) const;
  // Declares non-published data that the filer reads and writes.
  virtual void DefineProperties(TFiler* filer);
  // The object that owns this one for naming purposes (nullptr at the top).
  virtual TPersistent* GetOwner() const { return nullptr; }
  [[noreturn]] void AssignError(const TPersistent* source) const;

  friend class TFiler;
  friend class TReader;
  friend class TWriter;
};

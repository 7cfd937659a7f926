#pragma once
// Failed DAO calls as engine errors. The DAO status check raises
// EAccessEngineError with the engine code the DAO error number maps to and
// the texts of the DAO engine's Errors collection.

#include <cstdint>
#include <string>

#include "dbengine/engineerrors.h"
#include "platform/win32/com.h"

class TDAOEngine;

class EAccessEngineError : public EMorvaEngineError {
  DECLARE_CLASS(EAccessEngineError, EMorvaEngineError)
 public:
  // Collects the texts of the shared DAO engine's errors.
  explicit EAccessEngineError(HRESULT status);
  // Collects them from the given engine (nil: none).
  EAccessEngineError(HRESULT status, TDAOEngine* engine);

  HRESULT Status = 0;
  std::string Details;  // at most 255 characters through GetDetailText

  std::string GetDetailText() const override;
};

// The engine code of a DAO error number: 3021 no current record, 3031
// invalid password, 3078 no such table, 3026 no disk space, any other the
// number itself.
DBIResult MapDaoErrorNumber(std::uint16_t number);

// Raises EAccessEngineError when the low 16 bits of the status are non-zero.
void DaoCheck(HRESULT status);

// The one DAO engine of the process (nil until a session creates it).
TDAOEngine* SharedDAOEngine();
// Lets the engine do its background work (Idle with action 0); nil does nothing.
void IdleDAOEngine(TDAOEngine* engine);

#include "dbengine/accesserrors.h"

#include <memory>

#include "dbengine/daowrappers.h"
#include "dbengine/enginetext.h"

IMPLEMENT_CLASS(EAccessEngineError, EMorvaEngineError)

DBIResult MapDaoErrorNumber(std::uint16_t number) {
  switch (number) {
    case 3021:
      return dberr::NoCurrRec;
    case 3031:
      return dberr::InvalidPassword;
    case 3078:
      return dberr::NoSuchTable;
    case 3026:  // not enough space on disk
      return dberr::NoDiskSpace;
    default:
      return number;
  }
}

EAccessEngineError::EAccessEngineError(HRESULT status) : EAccessEngineError(status, SharedDAOEngine()) {}

EAccessEngineError::EAccessEngineError(HRESULT status, TDAOEngine* engine)
    : EMorvaEngineError(MapDaoErrorNumber(static_cast<std::uint16_t>(status & 0xFFFF))), Status(status) {
  NativeError = status;
  if (engine == nullptr || engine->Intf == nullptr) return;
  std::unique_ptr<TDAOErrors> errors(engine->Errors());
  if (errors->Intf == nullptr) return;
  std::int16_t count = errors->Count();
  for (std::int16_t i = 0; i < count; ++i) {
    std::unique_ptr<TDAOError> error(errors->Item(i));
    if (error->Intf == nullptr) continue;
    if (Details.empty())
      Details += "Access Status " + std::to_string(error->Number()) + " - " + error->Description();
    else
      Details += "\r\n" + error->Description();
  }
  SetMessage(Details);
}

std::string EAccessEngineError::GetDetailText() const { return dbengine_detail::CutChars(Details, 255); }

void DaoCheck(HRESULT status) {
  if ((status & 0xFFFF) != 0) throw EAccessEngineError(status);
}

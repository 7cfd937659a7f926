#pragma once
// The engine's abstract session: it resolves database names and aliases,
// creates and opens databases through its driver, converts texts between the
// character sets, keeps the configuration records that stand in for the
// engine's configuration tree and writes aliases into the registry.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/basedatabase.h"
#include "dbengine/listtables.h"

class TMemTable;
class TRightsRegistry;

// One configuration record: its name (the configuration path), its field
// descriptors and a value block in which each value lies at its offset.
class TBaseCfgrecord : public TBapiListItem {
  DECLARE_CLASS(TBaseCfgrecord, TBapiListItem)
 public:
  TBaseCfgrecord(TBapiListItem* session, TMorvaCollection* records, std::string name,
                 std::uint16_t fieldCount, const TFieldDesc* descs, const void* values);

  const std::string& Name() const { return name_; }
  std::uint16_t FieldCount() const { return static_cast<std::uint16_t>(descs_.size()); }
  const TFieldDesc* Descs() const { return descs_.data(); }
  const std::uint8_t* Values() const { return values_.data(); }
  // Replaces the fields and values (the old ones are freed first).
  void SetFields(std::uint16_t fieldCount, const TFieldDesc* descs, const void* values);
  // The text value of the field of that exact name; empty when there is none.
  std::string FieldText(std::string_view fieldName) const;

 private:
  std::string name_;
  std::vector<TFieldDesc> descs_;
  std::vector<std::uint8_t> values_;
};

// Reads a parameter text of the form NAME:"value";NAME:"value" and hands each
// name and value to the sink. ";" and ":" inside quotes belong to the value.
void ParseParamText(std::string_view text,
                    const std::function<void(const std::string&, const std::string&)>& sink);

class TBaseSession : public TBapiListItem {
  DECLARE_CLASS(TBaseSession, TBapiListItem)
 public:
  // Joins the engine's list of sessions. A driver's constructor fills the
  // registry key path (InitRegistryKey) itself, since the base constructor
  // cannot reach the driver's override.
  TBaseSession(TBapiListItem* engine, TMorvaCollection* engineSessions, const char* name,
               const char* networkDirectory);
  ~TBaseSession() override;

  void GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length) override;
  void SetProperty(TPropertyId id, TPropertyValue value) override;

  // ---- Virtual operations, in slot order (4 onwards)
  virtual void SetSessionNumber(std::uint16_t number);
  virtual void InitRegistryKey();
  virtual std::int32_t Op6();
  virtual void FillSessionInfo(TSessionInfo& info);
  virtual std::string GetDriverName();
  virtual void GetDriverDescription(std::uint16_t flag, TDatabaseDesc& desc);
  virtual void ResolveAlias(const char* name, TDatabaseDesc& desc, std::uint16_t flag);
  virtual void ResolveAliasDefault(const char* name, TDatabaseDesc& desc);
  virtual void Op12();
  virtual void Op13();
  virtual void Op14();
  virtual void Op15();
  virtual void Op16();
  virtual void Op17();
  virtual void CreateDatabase(const TDatabaseDesc& desc, const char* driverType,
                              std::int32_t openMode, std::int32_t shareMode, const char* password,
                              std::uint16_t paramCount, const TFieldDesc* paramDescs,
                              const void* paramValues, TBaseDatabase*& database);
  virtual void OpenDatabase(const char* name, const char* driverType, std::int32_t openMode,
                            std::int32_t shareMode, const char* password, std::uint16_t paramCount,
                            const TFieldDesc* paramDescs, const void* paramValues,
                            TBaseDatabase*& database);
  virtual void Op20(std::int32_t& value);
  virtual void Op21(std::uint8_t (&record)[156]);
  virtual void OpenAliasList(TBaseTable*& cursor);
  virtual void FreeListCursor(TBaseTable*& cursor);
  virtual void IdleEngine();
  virtual void GetSessionDataPtr(void*& data);
  virtual void Op26();
  virtual void CountOpenCursors(const char* tableName, std::uint16_t& count);
  virtual void Op28();
  virtual void Op29();
  virtual void Op30();
  virtual void Op31();
  virtual void Op32();
  virtual void Op33();
  virtual void ConvertOemToAnsi(void* language, const char* source, char* dest,
                                std::uint32_t length, bool& dataLoss);
  virtual void ConvertAnsiToOem(void* language, const char* source, char* dest,
                                std::uint32_t length, bool& dataLoss);
  virtual void RegisterCallback(TBaseTable* cursor, std::int32_t callbackType,
                                std::intptr_t clientData, std::uint16_t bufferLength,
                                void* buffer, void* routine);
  virtual void Op37();
  virtual void Op38();
  virtual void Op39();
  virtual void Op40();
  virtual void Op41();
  virtual void Op42(std::uint8_t (&record)[32]);
  virtual void Op43(std::uint8_t (&record)[346]);
  virtual void Op44(std::uint8_t (&record)[327]);
  virtual void Op45();
  virtual void Op46(std::uint8_t (&record)[14]);
  virtual void GetSessionInfo(TSessionInfo& info);
  virtual std::string GetNetUserName();
  virtual void AddAlias(void* configHandle, const char* aliasName, const char* driverType,
                        const char* paramText, bool persistent);
  // Removes a session alias; one the session does not hold is UNKNOWNDB.
  virtual void DeleteAlias(void* configHandle, const char* aliasName);
  virtual void WriteParamsToRegistry(TRightsRegistry& registry, const char* paramText);
  virtual void WriteConfigKey(const char* name, const char* paramText);
  virtual void ReadConfigKey(const char* name);
  virtual void ListAliasNodes(TMemTable* list);
  virtual void Op55();
  virtual void Op56();
  virtual void Op57();
  virtual void Op58();
  virtual void CheckConfigRecord(const char* name);
  virtual void Op60();
  virtual void GetConfigRecord(const char* name, std::uint16_t& fieldCount,
                               const TFieldDesc*& descs, const std::uint8_t*& values);
  virtual void ConfigRecordExists(const char* name, std::uint16_t fieldCount,
                                  const TFieldDesc* descs, const void* values);
  virtual void UpdateConfigRecord(const char* name, std::uint16_t fieldCount,
                                  const TFieldDesc* descs, const void* values);
  virtual void DeleteConfigRecord(const char* name);
  virtual void Op65();
  virtual void Op66();
  virtual void Op67();
  virtual void Op68();
  virtual void Op69();
  virtual void Op70();

  // ---- Non-virtual
  void SetPrivateDirectory(const char* directory);
  void SetCopyFlags(bool oemToAnsi, bool ansiToOem);
  // The configuration-node list of a configuration path: a memory table with
  // one row per node.
  void OpenConfigNodeList(void* configHandle, std::int32_t openMode, std::int32_t configMode,
                          const char* path, TBaseTable*& cursor);

  TMorvaCollection* Databases() const { return databases_.get(); }
  TMorvaCollection* ConfigRecords() const { return configRecords_.get(); }
  TMorvaCollection* ListCollection() const { return lists_.get(); }
  const TRegistryLocation& RegistryLocation() const { return registry_; }
  std::uint16_t SessionNumber() const { return sessionNumber_; }
  const std::string& SessionName() const { return sessionName_; }
  const std::string& NetworkDirectory() const { return networkDirectory_; }
  const std::string& PrivateDirectory() const { return privateDirectory_; }
  void SetKeepPath(bool keep) { registry_.KeepPath = keep; }

 protected:
  TRegistryLocation registry_;  // the driver's InitRegistryKey fills KeyPath

 private:
  TBaseCfgrecord* FindConfigRecord(std::string_view name) const;
  // The configuration record that holds a session alias.
  static std::string AliasRecordName(const char* aliasName);

  std::array<std::uint8_t, 64> sessionData_{};
  bool oemToAnsiCopy_ = false;
  bool ansiToOemCopy_ = false;
  // Freed in reverse order: lists, databases, configuration records. A
  // descendant's own part is gone by then, so a database must not need it.
  std::unique_ptr<TMorvaCollection> configRecords_ = std::make_unique<TMorvaCollection>();
  std::unique_ptr<TMorvaCollection> databases_ = std::make_unique<TMorvaCollection>();
  std::unique_ptr<TMorvaCollection> lists_ = std::make_unique<TMorvaCollection>();
  std::uint16_t sessionNumber_ = 0;
  std::string sessionName_;
  std::string networkDirectory_;
  std::string privateDirectory_;
  std::int32_t propertyValue_ = 0;
};

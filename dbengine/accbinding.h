#pragma once
// The Access binding: fills the hooks of the session, database, table, query,
// batch-move and blob-stream components for the Access engine with one set of
// process-wide objects — one session list, one default session named "Access",
// one call layer and one critical section. Every component of the binding
// attaches to that list when it is constructed, so all sessions, databases and
// datasets of the process share one call layer.
//
// The binding starts on first use (or by StartAccessBinding) and is freed by
// StopAccessBinding, which also frees every session the list still owns; free
// the binding's datasets and databases first.

#include "dbengine/ttblobstream.h"
#include "dbengine/ttquery.h"
#include "dbengine/ttsession.h"
#include "dbengine/tttable.h"

class TtaSession;

class TtaSessionList : public TttSessionlist {
  DECLARE_CLASS(TtaSessionList, TttSessionlist)
 public:
  TtaSessionList();
  TVirtEng* Engine() const override;
  TttSession* DefaultSession() const override;
  TttSession* GetSessionClass(TComponent* owner) override;
  void InitCriticalSection() override;
  void DoneCriticalSection() override;
  TSessionClass GetEngineClass() const override;
};

class TtaSession : public TttSession {
  DECLARE_CLASS(TtaSession, TttSession)
 public:
  explicit TtaSession(TComponent* owner = nullptr);
  ~TtaSession() override;
  TVirtEng* Engine() const override;
  void SetEngineObject(TVirtEng* engine) override;
  void CriticalSectionStart() override;
  void CriticalSectionEnd() override;
  void SetSessionList() override;
  TSessionClass GetEngineClass() const override;
  TttSession* DefaultSession() const override;
  TttDatabase* GetDatabaseClass(TComponent* owner) override;
  TDataSet* GetTableClass(TComponent* owner) override;
};

class TtaDatabase : public TttDatabase {
  DECLARE_CLASS(TtaDatabase, TttDatabase)
 public:
  explicit TtaDatabase(TComponent* owner = nullptr);
  TVirtEng* Engine() const override;
  void SetSessionList() override;
  TttSession* DefaultSession() const override;
};

class TtaBatchMove : public TttBatchMove {
  DECLARE_CLASS(TtaBatchMove, TttBatchMove)
 public:
  explicit TtaBatchMove(TComponent* owner = nullptr) : TttBatchMove(owner) {}
  TVirtEng* Engine() const override;
};

class TtaBlobStream : public TttBlobStream {
  DECLARE_CLASS(TtaBlobStream, TttBlobStream)
 public:
  TtaBlobStream(TBlobField* field, TBlobStreamMode mode) : TttBlobStream(field, mode) {}
  TtaBlobStream(TttBDEDataset* dataSet, TBlobField* field, TBlobStreamMode mode)
      : TttBlobStream(dataSet, field, mode) {}
  TVirtEng* Engine() const override;
};

class TtaTable : public TttTable {
  DECLARE_CLASS(TtaTable, TttTable)
 public:
  explicit TtaTable(TComponent* owner = nullptr);
  TVirtEng* Engine() const override;
  void SetSessionList() override;
  TttSession* DefaultSession() const override;
  TttBatchMove* GetBatchMoveClass(TComponent* owner);
  // A field that is not a blob field raises EInvalidCast.
  TStream* CreateBlobStream(TField* field, TBlobStreamMode mode) override;
};

class TtaQuery : public TttQuery {
  DECLARE_CLASS(TtaQuery, TttQuery)
 public:
  explicit TtaQuery(TComponent* owner = nullptr);
  TVirtEng* Engine() const override;
  void SetSessionList() override;
  TttSession* DefaultSession() const override;
  TStream* CreateBlobStream(TField* field, TBlobStreamMode mode) override;
};

// The engine sessions of the Access engine, for any session list that serves
// Access database files.
TSessionClass AccessEngineSessionClass();

// ---- the binding's process-wide objects
// Creates the session list and the default session "Access" unless they exist.
void StartAccessBinding();
// Frees the session list with the sessions it owns and the call layer.
void StopAccessBinding();
// The session list and the default session (starting the binding when needed).
TtaSessionList* AccessSessionList();
TtaSession* AccessDefaultSession();
// The one call layer; nil until the default session has been activated.
TVirtEng* AccessEngine();

#pragma once
// The SQLite file under one open database: the connection, cached prepared
// statements, values as SQLite stores them, the catalogue tables and the
// mapping of SQLite failures to DAO errors.
//
// Layout of a database file (write-ahead log mode on a local disk, rollback
// journal in a network folder; see sharing.h):
//   - one SQLite table per DAO table, its columns in DAO order; a counter is
//     the table's INTEGER PRIMARY KEY AUTOINCREMENT, so its values are the row
//     numbers and never come back; text columns are TEXT COLLATE CASEBLIND3 with a
//     CHECK on their length; Booleans are -1/0, dates date numbers (REAL),
//     currency integers of ten-thousandths;
//   - MSysTables (per table the last row number handed out), MSysColumns (DAO
//     type, size, attributes, required, zero length, default, position),
//     MSysIndexes (per table its index names, flags, fields and SQLite's own
//     index name), MSysQueries (stored queries in their Access text) and,
//     for a file with a password, MSysPassword.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/dao/catalogue.h"
#include "platform/dao/locks.h"
#include "platform/dao/logpages.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_file;

namespace dao {

class LockFile;
class OpenProgressLine;
class StateLock;

// One stored value: SQLite's five storage classes. Blob bytes live in `text`.
struct Cell {
  enum Kind : std::uint8_t { Null, Integer, Real, Text, Blob };
  Kind kind = Null;
  // A large value not read yet: `integer` holds its size in bytes.
  bool deferred = false;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;

  static Cell MakeInteger(std::int64_t v) { Cell c; c.kind = Integer; c.integer = v; return c; }
  static Cell MakeReal(double v) { Cell c; c.kind = Real; c.real = v; return c; }
  static Cell MakeText(std::string v) { Cell c; c.kind = Text; c.text = std::move(v); return c; }
  static Cell MakeBlob(std::string v) { Cell c; c.kind = Blob; c.text = std::move(v); return c; }
  static Cell MakeDeferred(std::int64_t size) { Cell c; c.kind = Blob; c.deferred = true; c.integer = size; return c; }
  bool IsNull() const { return kind == Null; }
  double AsReal() const;
  std::int64_t AsInteger() const;
  friend bool operator==(const Cell& a, const Cell& b);
};

class Connection;

class Statement {
 public:
  Statement(Connection& owner, sqlite3_stmt* stmt) : owner_(owner), stmt_(stmt) {}
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, const Cell& value);  // 1-based
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, const std::string& value);
  bool Step();  // true while a row is there; failures throw
  void Reset();
  int ColumnCount() const;
  Cell Column(int index) const;  // 0-based
  // The same into a cell read before: its text's storage is reused, so a
  // scan that recycles its rows allocates nothing for values that fit. A
  // text or binary value longer than `inlineBytes` is left unread: the cell
  // is deferred, with its size.
  void ReadColumn(int index, Cell& cell, std::int64_t inlineBytes = INT64_MAX) const;
  std::int64_t ColumnInteger(int index) const;
  std::string ColumnText(int index) const;
  std::string ColumnName(int index) const;
  std::string ColumnTable(int index) const;   // origin table, empty for expressions
  std::string ColumnOrigin(int index) const;  // origin column, empty for expressions
  std::string ColumnDeclType(int index) const;
  sqlite3_stmt* Handle() const { return stmt_; }
  // Held by a StatementUse: the connection never drops it then.
  bool InUse() const { return uses_ > 0; }

 private:
  friend class StatementUse;
  Connection& owner_;
  sqlite3_stmt* stmt_;
  int uses_ = 0;
};

// Holds a cached statement while the caller uses it, so that the connection
// keeps it, and resets it when the caller is done with it. Neither copied nor
// moved: a second holder would reset it under the first.
class StatementUse {
 public:
  explicit StatementUse(Statement& s) : s_(s) { ++s_.uses_; }
  ~StatementUse() {
    --s_.uses_;
    s_.Reset();
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
  Statement* operator->() { return &s_; }
  Statement& operator*() { return s_; }

 private:
  Statement& s_;
};

class Connection {
 public:
  // Opens an existing file (3024 when missing, 3049 when not one of our
  // databases). Nothing is written to a file before it is recognised, nor
  // ever by a read-only open. A file or folder this process may not write
  // opens read-only. A read-only connection never creates the log's files
  // beside the file: made by a user who may not write the file, they would
  // be that user's, and nobody else could write through them. It reads
  // through them while a writer keeps them, and otherwise reads the file as
  // it stands (3051 when a log holds changes the file lacks and its index is
  // gone; 3045 in network mode when the file was left in local mode).
  Connection(const std::string& path, bool readOnly);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Makes a new empty database with its catalogue (3204 when a file is at
  // the path; 3045 while a connection still holds a file that stood there).
  // It is made whole under a hidden name beside the path, filled by `fill`
  // (given that name) when given, and only then put at the path, never over
  // a file: a failure or a kill leaves nothing at the path, and nothing at
  // the path is ever removed.
  static void CreateFile(const std::string& path, const std::function<void(const std::string&)>& fill = {});

  // The case-blind order of text columns is the engine's order of folded
  // texts (CompareFoldedText). Text columns and their indexes name it by its
  // collation, kCaseBlindCollation: a program that lacks it (an earlier
  // build, a standard SQLite tool) is refused every write and every
  // comparison of those columns, instead of writing into indexes whose order
  // it does not know. Files made before name it NOCASE, in an order that
  // earlier builds kept (and may have written into): their first writer
  // brings them to this name (caseorder.cpp). The header's user version
  // records the order's number (0, 1, 2: under the name NOCASE).
  static constexpr int kCaseBlindOrder = 3;
  static constexpr const char* kCaseBlindCollation = "CASEBLIND3";
  // At the open: when some table's case-blind indexes still follow an older
  // order, a connection that may write brings them to this one, with its
  // progress and what the user must know told through DaoSetOpenHooks; one
  // that finds another user doing so waits for it first. A connection
  // refused the rebuild (the file busy with other writes) is refused (3045).
  void BringCaseBlindIndexesInOrder();
  // Before a connection reads the file: waits while another user rebuilds
  // its case-blind indexes, who may hold it whole meanwhile (with a rollback
  // journal, a long write takes the file for itself once it writes out its
  // pages), telling so through DaoSetOpenHooks.
  static void WaitForRebuildElsewhere(const std::string& path);
  // A table lock no table takes: held by the connection that rebuilds a
  // file's case-blind indexes, so that others who open the file meanwhile
  // wait for it.
  static constexpr const char* kRebuildMark = "MSys case-blind rebuild";
  // Whether any table's case-blind indexes are in an older order (a reader
  // of a file no writer has opened since, or a table whose unique key the
  // present fold finds values alike in): such a table is read without its
  // indexes (TableDef::caseBlindStale).
  bool CaseBlindIndexesStale();

  const std::string& Path() const { return path_; }
  bool ReadOnly() const { return readOnly_; }
  bool NetworkMode() const { return network_; }
  sqlite3* Handle() const { return db_; }

  // A prepared statement whose text the file's shape fixes (its tables,
  // columns and indexes), kept for the connection's life: callers may keep
  // it as long. The caller resets it (StatementUse).
  Statement& Cached(const std::string& sql);
  // The same for a statement whose text carries values (a filter's
  // condition): every distinct value would add one for good, so only the
  // kRecentStatements used last are kept. Making room drops the least
  // recently used one that no StatementUse holds; the one answered is held
  // from the start, so no later call drops it while the caller reads it.
  StatementUse CachedRecent(const std::string& sql);
  // Enough for several filtered tables read side by side, each through a
  // handful of statements (both directions, the ranges of a multi-column
  // order), without preparing them again on every move.
  static constexpr std::size_t kRecentStatements = 32;
  // Prepared statements kept, of both kinds.
  std::size_t CachedStatementCount() const { return cache_.size() + recent_.size(); }
  // A statement for one use.
  std::unique_ptr<Statement> Prepare(const std::string& sql);
  void Exec(const std::string& sql);
  int Changes() const;  // rows changed by the last statement

  // Turns an SQLite result code into the matching DAO failure.
  [[noreturn]] void Raise(int rc, const std::string& context = {});

  // Transactions, nested with save points.
  void Begin();
  void Commit();
  void Rollback();
  int TransactionDepth() const { return depth_; }
  // Runs a write outside any user transaction in its own immediate transaction.
  class WriteScope {
   public:
    explicit WriteScope(Connection& c);
    ~WriteScope();
    void Commit();

   private:
    Connection& c_;
    bool own_ = false;
    bool done_ = false;
  };

  // Catalogue.
  const TableDef* FindTable(const std::string& name);  // nullptr when absent
  const TableDef& Table(const std::string& name);      // 3078 when absent
  std::vector<std::string> TableNames();
  void CreateTable(const TableDef& def);
  void CreateIndex(const std::string& table, IndexDef index);
  void DropTable(const std::string& name);
  void DropIndex(const std::string& table, const std::string& index);
  void RenameTable(const std::string& name, const std::string& newName);
  void RenameField(const std::string& table, const std::string& field, const std::string& newName);
  void RenameIndex(const std::string& table, const std::string& index, const std::string& newName);
  void RenameQueryDef(const std::string& name, const std::string& newName);
  std::vector<std::pair<std::string, std::string>> QueryDefs();  // name, SQL
  void SaveQueryDef(const std::string& name, const std::string& sql);

  // Next value of a table's row numbering (never reused, also after a
  // cancelled addition); written at once inside the current transaction.
  std::int64_t NextRowId(const TableDef& table);

  // Changes made through this connection, and by anyone as SQLite counts them.
  std::uint64_t LocalChanges() const { return localChanges_; }
  void NoteChange() { ++localChanges_; }
  // Differs whenever any connection, of any process, committed since the
  // last call (and after every change through this connection). Cheap enough
  // for every move of a cursor: see the write-ahead log's header below.
  std::uint64_t ChangeStamp();
  // The stamp as of the last look (ChangeStamp, Mark), without looking again.
  std::uint64_t SeenStamp() const { return (lastDataVersion_ << 32) ^ localChanges_; }
  // Exact where ChangeStamp is merely cheap: the first changes only when
  // another connection committed, the second with every row this connection
  // wrote (or rolled back), so that a holder of derived state can tell its
  // own writes from everyone else's. Each call of the first is a read
  // transaction: ask it only once ChangeStamp has moved.
  std::uint64_t OthersVersion();
  std::uint64_t LocalWrites() const;
  // What anyone committed to the file and this connection wrote, looked at
  // now, inside a transaction too (where ChangeStamp trusts the lock and does
  // not look). Two equal marks: nothing was written in between by anyone.
  // Cheap in write-ahead-log mode (the log's header); one statement otherwise.
  struct WriteMark {
    std::uint64_t committed = 0;
    std::uint64_t local = 0;
    bool operator==(const WriteMark&) const = default;
  };
  WriteMark Mark();

  // Refuses (3043, saying so) once the path no longer names the file this
  // connection opened: it was removed, moved away, or another file was put
  // in its place. What is written would go to a file nobody finds again.
  // One stat: asked before every write transaction, edit and cursor, never
  // per row.
  void CheckFileInPlace();

  // For a private scratch file that nobody else opens: no log, no syncing, a
  // small page cache, and no watch of its contents.
  void UseAsScratch();

  static void SetBusyTimeout(int milliseconds);  // for every later open
  static int BusyTimeout();
  // Refuses an open that found the file busy past the busy timeout: other
  // users are writing it (errFileInUse, saying so).
  [[noreturn]] void RefuseBusy();

 private:
  void Open(bool folderWritable);
  int OpenAndRecognise(const std::string& name, int flags, bool holdLog, const char* vfs = nullptr);
  void HoldFileAtPath();
  [[noreturn]] static void RefuseEarlierFileHeld(const std::string& path);
  void ReleaseLocks();
  void TakeFileIdentity();
  bool FileInPlace() const;
  void FoldLogIntoFileHeld(bool wait);
  [[noreturn]] void RefuseMoved();
  [[noreturn]] void RefuseChangedUnderReader();
  // The file written over in place (contentwatch.cpp).
  friend struct WriterFile;
  static const char* WriterVfs();
  enum class Verdict { Same, Folded, Unknown, WrittenOver };
  LockFile::FileState StateOfFile() const;
  sqlite3_file* DatabaseFile() const;
  bool ReadPage(std::uint32_t page, std::uint32_t pageSize, std::vector<unsigned char>& bytes) const;
  std::uint32_t PageSize() const;
  bool SamplesAsKept(const LockFile::FileState& kept, int most = LockFile::FileState::kSamples) const;
  bool WrittenHere(std::uint32_t page, std::uint64_t sum) const;
  Verdict Judge(const LockFile::FileState& kept, LockFile::FileState& now);
  Verdict JudgeLog(const LockFile::FileState& kept, LockFile::FileState& now, int looksLeft = 3);
  Verdict JudgeJournal(const LockFile::FileState& kept, LockFile::FileState& now);
  bool WaitForFileAtRest(const LockFile::FileState& seen, std::uint32_t pageSize) const;
  bool LastWriteReadsBack() const;
  void SampleFile(LockFile::FileState& state);
  void TakeWrittenPages(LockFile::FileState& state);
  void NoteLogPosition(LockFile::FileState& state);
  void Keep(const LockFile::FileState& state);
  bool LogInUse(bool openers);
  bool FoldUnderWayElsewhere();
  LogIndex LogIndexNow() const;
  bool NoteBeforeCommit();
  LogGeneration StartedByThisCommit(const LogIndex& index) const;
  bool ChangedAcrossRestart(const LogIndex& index);
  static bool CutToNothing(const LockFile::FileState& kept, const LockFile::FileState& now);
  void KeepAcrossRestart(const LogGeneration& started);
  std::string AsideName(const char* suffix, const LockFile::FileState& kept) const;
  std::string KeepAside(const char* suffix, const LockFile::FileState& kept);
  std::string CopyAside(const char* suffix, const LockFile::FileState& kept);
  bool SetLogAside(const LockFile::FileState& kept);
  void FoundWrittenOver(const LockFile::FileState& kept);
  void TellWrittenOver();
  bool ToldByAnother(const LockFile::FileState& latest);
  bool CopiedSince(const LockFile::FileState& state);
  void KnowCount(const LockFile::FileState& state);
  bool LogOfKeptLineage(const LockFile::FileState& kept) const;
  void CheckLogBelongsToFile();
  void CheckJournalBelongsToFile();
  [[noreturn]] void RefuseOtherContentsLog();
  void SetAside(const char* side, const LockFile::FileState& kept, class StateLock& lock);
  void WatchFileContents();
  bool ContentsWrittenOver(int looksLeft = 2);
  [[noreturn]] void RefuseWrittenOver();
  void FoldKeepingState(int mode);
  static int AfterCommit(void* connection, sqlite3* db, const char* name, int pages);
  void CloseKeepingState();
  void BeginWriting();
  int BeforeFileWrite();
  void AfterFileWrite(std::int64_t offset, const void* data, int size);
  int OnFileLock(int level);
  void OnFileUnlock(int level);
  void CloseUnrecognised();
  void JoinSharingMode(bool immutable);
  std::string OtherModeInUse() const;
  std::string QueryText(const char* sql);
  [[noreturn]] void RefuseOpen(const std::string& why);
  [[noreturn]] void RefuseLeftInLocalMode();
  void LoadCatalogue();
  // The tables (by UpperKey) whose schema names an older case-blind order.
  std::set<std::string> TablesInOlderOrder();
  void RebuildOnce(std::vector<std::string>& notices, OpenProgressLine& line);
  void RebuildInPresentOrder(std::vector<std::string>& notices, OpenProgressLine& line);
  void LookAgainAtUniqueRules(std::vector<std::string>& notices);
  void CheckWritable();
  void LookForCommits();
  void RunCached(const std::string& sql);
  void WatchLogHeader();
  bool LogHeaderChanged();
  TableDef DescribeFromSqlite(const std::string& name);

  static int WaitWhileBusy(void* connection, int count);

  std::string path_;
  bool readOnly_;
  int busyTimeout_ = 0;                 // ms; taken at the open
  std::chrono::steady_clock::time_point busySince_;
  bool network_ = false;                // shared in network mode (sharing.h)
  // The file opened, as stat names it (device and inode), and the path to
  // look at when path_ is relative (empty: path_).
  std::uint64_t fileDevice_ = 0;
  std::uint64_t fileInode_ = 0;
  std::string statPath_;
  const char* StatPath() const { return (statPath_.empty() ? path_ : statPath_).c_str(); }
  std::shared_ptr<LockFile> sharing_;   // marks this connection's sharing mode and file
  bool inMode_ = false;                 // the sharing mode is joined
  std::uint64_t heldInode_ = 0;         // the file marked held (LockFile::HoldFile); 0: none
  bool watchContent_ = false;           // the file's state is kept and compared
  bool overwritten_ = false;            // found written over by another program
  std::string aside_;                   // where the log of the contents before goes
  bool asidePending_ = false;           // once every user has closed the file
  LockFile::FileState overKept_;        // the state the file was found written over against
  bool tellPending_ = false;            // the others are still to be told (TellWrittenOver)
  std::uint64_t copiesSeen_ = 0;        // the copies the kept state counted at the open
  bool countKnown_ = false;             // a state was read since the open
  std::uint64_t countLineage_ = 0;      // of the state that count was read from
  // The state the file was last found to agree with: the one kept, or (where
  // a reader cannot keep it) the file as judged here, for the kept state of
  // this sequence number. `trusted`: judged once its time could no longer
  // stay the same through a change, so that an equal time proves no change.
  struct Judged {
    std::uint64_t sequence = 0;
    LockFile::FileState state;
    bool trusted = false;
  };
  Judged judged_;
  // While this connection changes the file (a fold, a commit in network
  // mode): the state it started from, the file as its last write left it,
  // and the pages written with a checksum of each.
  struct Writing {
    bool active = false;
    bool haveBase = false;
    LockFile::FileState base;
    LockFile::FileState expected;
    std::map<std::uint32_t, std::uint64_t> pages;
    std::uint32_t pageSize = 0;
    std::uint32_t lastPage = 0;  // the page written last, and its checksum
    std::uint64_t lastSum = 0;
  };
  Writing writing_;
  // The log's generation as last kept: a commit that finds another one (the
  // log started anew, or one named by none) keeps the state again.
  LogGeneration keptLog_;
  // Before a commit that starts the log anew (every frame of it folded in, or
  // none written yet): the file's pages as they stand, which only that
  // commit's frames, once folded, may change.
  LockFile::FileState beforeRestart_;
  unsigned logStartsBefore_ = 0;  // the log's starts by this connection then
  sqlite3* db_ = nullptr;
  std::map<std::string, std::unique_ptr<Statement>> cache_;
  struct RecentStatement {
    std::unique_ptr<Statement> statement;
    std::uint64_t lastUse = 0;  // of recentUses_
  };
  std::map<std::string, RecentStatement> recent_;
  std::uint64_t recentUses_ = 0;
  void MakeRoomForRecent();
  int depth_ = 0;
  std::uint64_t localChanges_ = 0;
  std::uint64_t lastDataVersion_ = 0;
  // The header of the write-ahead log's shared index, as every connection of
  // every process sees it (nil: not watched, SQLite is asked instead), and
  // the copy last seen. While it is watched, lastDataVersion_ counts the
  // changes seen in it.
  static constexpr std::size_t kLogHeaderBytes = 96;
  const volatile unsigned char* logHeader_ = nullptr;
  std::uint64_t seenLogHeader_[kLogHeaderBytes / sizeof(std::uint64_t)] = {};
  bool logHeaderTried_ = false;
  std::map<std::string, TableDef> tables_;  // by upper-case name
  std::set<std::string> olderOrder_;        // TablesInOlderOrder, as the catalogue was loaded
  bool catalogueLoaded_ = false;
  int schemaVersion_ = -1;
};

std::string QuoteIdentifier(const std::string& name);  // "name" with inner quotes doubled
// The key of case-blind name lookups: names that compare alike ignoring case
// (as the catalogue's case-blind columns compare them) share it.
std::string UpperKey(const std::string& name);
bool HasContent(const std::string& path);               // a file that exists and is not empty

}  // namespace dao

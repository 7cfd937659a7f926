// Opening files that are not ours, damaged, read-only or in read-only
// folders, and users of other accounts on one file: an open changes nothing
// it has not recognised, and locks hold between accounts or fail loudly.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "childprocess.h"
#include "daotest_util.h"

using namespace dao;
using daotest::Child;
using daotest::DaoFixture;
using daotest::ErrorOf;
namespace fs = std::filesystem;

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class OpenFiles : public DaoFixture {
 protected:
  void SetUp() override {
    DaoFixture::SetUp();
    MakeOneAndTwo();
  }
  // The whole test database, closed, as bytes.
  std::string OurBytes() {
    db_.reset();
    return Bytes(path_);
  }
};

// ---- other accounts: a child process runs as "nobody" (needs root) ----------

class OtherAccount : public OpenFiles {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "running a child as another account needs root";
    nobody_ = ::getpwnam("nobody");
    if (nobody_ == nullptr) GTEST_SKIP() << "no account 'nobody' here";
    OpenFiles::SetUp();
  }
  // Runs `body` as nobody; the child's exit code (0: every check held).
  int AsNobody(std::function<int()> body) {
    uid_t uid = nobody_->pw_uid;
    gid_t gid = nobody_->pw_gid;
    Child child([&](Child&) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) return 90;
      return body();
    });
    return child.Wait();
  }
  void Permit(const std::string& path, fs::perms perms) { fs::permissions(path, perms); }
  passwd* nobody_ = nullptr;
};

TEST_F(OtherAccount, AReaderWhoMayNotWriteCannotEditOrHoldTheFileAlone) {
  Permit(dir_, fs::perms(0777));
  Permit(path_, fs::perms(0644));
  auto rs = db_->OpenRecordset("People", -1);  // the owner keeps it open
  EXPECT_EQ(0, AsNobody([&] {
    // The lock file is the owner's: a hold on the whole file cannot be taken.
    if (ErrorOf([&] { TDatabaseCore(path_, true, true, ""); }) != errCantLockFile) return 1;
    TDatabaseCore db(path_, false, false, "");
    if (!db.ReadOnly()) return 2;
    auto mine = db.OpenRecordset("People", -1);
    return ErrorOf([&] { mine->Edit(); }) == errReadOnly ? 0 : 3;
  }));
}

TEST_F(OtherAccount, LocksHoldBetweenAccountsThatMayWrite) {
  db_.reset();
  fs::remove(path_ + "-lock");
  Permit(dir_, fs::perms(0777));
  Permit(path_, fs::perms(0666));
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  struct stat lock {};
  ASSERT_EQ(0, ::stat((path_ + "-lock").c_str(), &lock));
  EXPECT_EQ(0666u, lock.st_mode & 0777);
  auto rs = db_->OpenRecordset("People", -1);
  rs->MoveFirst();
  rs->Edit();
  EXPECT_EQ(0, AsNobody([&] {
    TDatabaseCore db(path_, false, false, "");
    if (db.ReadOnly()) return 1;
    auto mine = db.OpenRecordset("People", -1);
    mine->MoveFirst();
    if (ErrorOf([&] { mine->Edit(); }) != errLockedByUser) return 2;
    if (ErrorOf([&] { TDatabaseCore(path_, true, false, ""); }) != errFileInUse) return 3;
    mine->MoveNext();
    return ErrorOf([&] {
      mine->Edit();
      mine->SetValue(2, Cell::MakeInteger(20));
      mine->Update();
    }) == 0 ? 0 : 4;
  }));
  rs->CancelUpdate();
}

}  // namespace

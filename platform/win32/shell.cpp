#include "platform/win32/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QColor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QProcess>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/classlib/core/datetime.h"

namespace fs = std::filesystem;

// ---- Opening -------------------------------------------------------------------

namespace {

bool StartDetached(const std::vector<std::string>& argv, const std::string& folder) {
  if (argv.empty()) return false;
  QStringList args;
  for (std::size_t i = 1; i < argv.size(); ++i) args << QString::fromStdString(argv[i]);
  return QProcess::startDetached(QString::fromStdString(argv[0]), args,
                                 QString::fromStdString(folder));
}

TProgramRunner& Runner() {
  static TProgramRunner runner = StartDetached;
  return runner;
}

bool IsUrl(const std::string& s) { return s.find("://") != std::string::npos; }

}  // namespace

TProgramRunner SetProgramRunner(TProgramRunner runner) {
  TProgramRunner previous = Runner();
  Runner() = runner ? std::move(runner) : TProgramRunner(StartDetached);
  return previous;
}

int ShellExecute(void* /*owner*/, const std::string& verb, const std::string& file,
                 const std::string& /*parameters*/, const std::string& folder,
                 int /*showCommand*/) {
  if (!verb.empty() && verb != "open" && verb != "explore") return SE_ERR_NOASSOC;
  if (!IsUrl(file)) {
    // A relative name is found in the working folder, as the opener will look.
    const fs::path path = folder.empty() || fs::path(file).is_absolute()
                              ? fs::path(file)
                              : fs::path(folder) / file;
    std::error_code ec;
    if (file.empty() || !fs::exists(path, ec)) return SE_ERR_FNF;
  }
  // 42: any value above 32 says the opener started.
  return Runner()({"xdg-open", file}, folder) ? 42 : SE_ERR_NOASSOC;
}

// ---- Trash -----------------------------------------------------------------------

namespace {

// The trash keeps names apart by number; past this many the
// folder is taken to be broken rather than searched for ever.
constexpr int kMaxNameTries = 10000;

void Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
}

// RFC 2396 escaping of a path: unreserved characters and "/" stay.
std::string EscapePath(const std::string& path) {
  static const char* kKeep = "-_.!~*'()/";
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr(kKeep, c)) {
      out += char(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string DeletionDate() {
  std::uint16_t y, mo, d, h, mi, s, ms;
  const TDateTime now = Now();
  DecodeDate(now, y, mo, d);
  DecodeTime(now, h, mi, s, ms);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", y, mo, d, h, mi, s);
  return text;
}

// "report.txt", then "report.2.txt", "report.3.txt" ...
std::string Candidate(const std::string& name, int n) {
  if (n == 1) return name;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "." + std::to_string(n);
  return name.substr(0, dot) + "." + std::to_string(n) + name.substr(dot);
}

// Reserves a name by creating its info file exclusively, so two programs
// trashing at once cannot take the same name.
int ReserveInfo(const fs::path& trash, const std::string& name, std::string& chosen) {
  for (int n = 1; n <= kMaxNameTries; ++n) {
    chosen = Candidate(name, n);
    const fs::path info = trash / "info" / (chosen + ".trashinfo");
    const int fd = open(info.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(trash / "files" / chosen, ec))) {
      close(fd);
      unlink(info.c_str());
      continue;
    }
    return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

// Moves across file systems: a copy, then the original goes. A partial copy
// is removed, and the original stays, when anything fails.
bool CopyThenRemove(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec) fs::remove_all(from, ec);
  if (!ec) return true;
  std::error_code ignored;
  fs::remove_all(to, ignored);
  return false;
}

}  // namespace

std::string TrashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::string(data) + "/Trash";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share/Trash";
}

bool MoveFileToTrash(const std::string& path, std::string* error) {
  std::error_code ec;
  if (path.empty() || !fs::exists(fs::symlink_status(path, ec))) {
    Fail(error, "The file '" + path + "' does not exist");
    return false;
  }
  // The item itself is trashed: a link, not what it points to.
  fs::path item = fs::absolute(path, ec);
  item = item.parent_path().lexically_normal() / item.filename();
  const fs::path trash = TrashFolder();
  for (const char* sub : {"files", "info"}) {
    fs::create_directories(trash / sub, ec);
    if (ec) {
      Fail(error, "Cannot make the trash folder " + (trash / sub).string() + ": " + ec.message());
      return false;
    }
    chmod((trash / sub).c_str(), 0700);
  }
  std::string name;
  const int fd = ReserveInfo(trash, item.filename().string(), name);
  if (fd < 0) {
    Fail(error, "Cannot write in the trash: " + std::string(std::strerror(errno)));
    return false;
  }
  const fs::path info = trash / "info" / (name + ".trashinfo");
  const bool written = WriteAll(fd, "[Trash Info]\nPath=" + EscapePath(item.string()) +
                                        "\nDeletionDate=" + DeletionDate() + "\n");
  close(fd);
  const fs::path target = trash / "files" / name;
  bool moved = false;
  if (written) {
    moved = rename(item.c_str(), target.c_str()) == 0;
    if (!moved && errno == EXDEV) moved = CopyThenRemove(item, target, ec);
    else if (!moved) ec = std::error_code(errno, std::generic_category());
  }
  if (!moved) {
    unlink(info.c_str());
    Fail(error, "Cannot move '" + path + "' to the trash: " +
                    (written ? ec.message() : std::string("the information file was not written")));
  }
  return moved;
}

// ---- File-type icons ---------------------------------------------------------------

namespace {

TIconImage FromImage(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  TIconImage icon;
  icon.Width = image.width();
  icon.Height = image.height();
  icon.Pixels.reserve(std::size_t(icon.Width) * std::size_t(icon.Height));
  for (int y = 0; y < icon.Height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    icon.Pixels.insert(icon.Pixels.end(), row, row + icon.Width);
  }
  return icon;
}

}  // namespace

std::vector<std::string> FileTypeIconNames(const std::string& extension) {
  if (extension.empty()) return {};
  const QMimeDatabase db;
  const QMimeType type = db.mimeTypeForFile("x." + QString::fromStdString(extension).toLower(),
                                            QMimeDatabase::MatchExtension);
  if (!type.isValid() || type.isDefault()) return {};
  return {type.iconName().toStdString(), type.genericIconName().toStdString()};
}

TIconImage ThemeIcon(const std::string& name, int size) {
  // Theme icons are drawn through the graphical session's pixmaps.
  if (size <= 0 || name.empty() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    return {};
  const QIcon icon = QIcon::fromTheme(QString::fromStdString(name));
  if (icon.isNull()) return {};
  const QImage image = icon.pixmap(size, size).toImage();
  return image.isNull() ? TIconImage{} : FromImage(image.scaled(size, size));
}

TIconImage FileTypeIcon(const std::string& extension, int size) {
  for (const std::string& name : FileTypeIconNames(extension))
    if (TIconImage icon = ThemeIcon(name, size); !icon.Empty()) return icon;
  return {};
}

TIconImage DefaultDocumentIcon(int size) {
  if (size <= 0) return {};
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  // The page takes most of the height; its top-right corner is folded.
  const double u = size / 16.0;
  const QRectF page(2.5 * u, 0.5 * u, 11 * u, 15 * u);
  const double fold = 4 * u;
  const QPolygonF outline{{page.left(), page.top()},
                          {page.right() - fold, page.top()},
                          {page.right(), page.top() + fold},
                          {page.right(), page.bottom()},
                          {page.left(), page.bottom()}};
  p.setPen(QPen(QColor(96, 96, 96), std::max(1.0, u)));
  p.setBrush(Qt::white);
  p.drawPolygon(outline);
  p.setBrush(QColor(208, 208, 208));
  p.drawPolygon(QPolygonF{{page.right() - fold, page.top()},
                          {page.right() - fold, page.top() + fold},
                          {page.right(), page.top() + fold}});
  // Lines of text.
  p.setPen(QPen(QColor(128, 128, 160), std::max(1.0, u)));
  for (double y = page.top() + 6 * u; y < page.bottom() - 2 * u; y += 2.5 * u)
    p.drawLine(QPointF(page.left() + 2 * u, y), QPointF(page.right() - 2 * u, y));
  p.end();
  return FromImage(image);
}

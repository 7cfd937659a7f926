#pragma once
// The desktop's services: opening a file or folder with the program the
// desktop associates with its type, the freedesktop trash (the recycle bin),
// and the icons of file types.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- Opening -------------------------------------------------------------------

// Starts a program without waiting for it: argv[0] is looked up in PATH and
// runs in `folder` ("" : the current one). True when it started. Tests
// install their own so that no desktop program is spawned.
using TProgramRunner =
    std::function<bool(const std::vector<std::string>& argv, const std::string& folder)>;
// Installs a runner (nullptr: the real one) and returns the one it replaces.
TProgramRunner SetProgramRunner(TProgramRunner runner);

// ShellExecute's results below 33 are errors.
constexpr int SE_ERR_FNF = 2, SE_ERR_NOASSOC = 31;
constexpr int SW_SHOWNORMAL = 1;
// Opens `file` (a document, a folder or a URL) with the desktop's program
// (xdg-open), working in `folder`. The verb may be "", "open" or "explore";
// parameters are not passed: the desktop's opener takes the document alone.
// Returns a value above 32 when the opener started, SE_ERR_FNF for a missing
// file, SE_ERR_NOASSOC for another verb or when the opener could not start.
int ShellExecute(void* owner, const std::string& verb, const std::string& file,
                 const std::string& parameters, const std::string& folder, int showCommand);

// ---- Trash -----------------------------------------------------------------------

// The home trash: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash.
std::string TrashFolder();
// Moves a file, folder or link into the home trash the freedesktop way:
// an info/<name>.trashinfo with the original path and the
// deletion time (from the program's clock), the item as files/<name>, <name>
// made unique. Across file systems the item is copied, then removed. On
// failure nothing is left behind, false is returned and `error` says why.
bool MoveFileToTrash(const std::string& path, std::string* error = nullptr);

// ---- File-type icons ---------------------------------------------------------------

// An icon's pixels: rows of 32-bit ARGB values (not premultiplied).
struct TIconImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
  bool Empty() const { return Pixels.empty(); }
  std::uint32_t Pixel(int x, int y) const { return Pixels[std::size_t(y * Width + x)]; }
};
// The icon names the shared MIME database gives an extension (without the
// dot, any case): the type's own icon, then its generic one; none for an
// unknown extension.
std::vector<std::string> FileTypeIconNames(const std::string& extension);
// The icon of an extension's type from the desktop's icon theme, `size`
// pixels square; empty when the type is unknown, the theme has no icon for
// it, or no graphical session runs.
TIconImage FileTypeIcon(const std::string& extension, int size);
// The icon of that name in the desktop's icon theme (e.g. "text-plain"), the
// same way; empty when the theme has none.
TIconImage ThemeIcon(const std::string& name, int size);
// A plain document: a white page with a folded corner and lines of text,
// drawn here so that machines without an icon theme have one.
TIconImage DefaultDocumentIcon(int size);

#pragma once
// Whole trees moved, copied and deleted the way the shell does it, on top of the
// single-entry primitives. A link is never followed: it is moved, copied or removed as a
// link, so nothing outside the tree is touched. Each call gives 0 or the error number.
#include <string>

namespace file_tree {

// Deletes a file, a link or a folder with everything in it.
int Delete(const std::wstring& path);
// Copies onto to: files replace files, folders merge into folders.
int Copy(const std::wstring& from, const std::wstring& to);
// Moves onto to: one rename where it can; otherwise files replace files and folders merge
// into folders, entry by entry. Across volumes a folder is moved entry by entry too, so a
// move that stops half-way leaves each file whole in one place or the other.
int Move(const std::wstring& from, const std::wstring& to);

// Whether inner is outer itself or lies below it, as texts (letter case ignored on
// Windows, "." components and doubled separators skipped).
bool IsWithin(const std::wstring& inner, const std::wstring& outer);

}  // namespace file_tree

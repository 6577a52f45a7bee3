// The text of each page compared by its text, as the user last opened it, kept beside the
// seen digest (seen_store.h) so that a later pass can say what is new. Per user, under
// %LOCALAPPDATA%\Pelorin (created when first written), two files per page address A, named
// by N, the MD5 of A's bytes in hexadecimal, so that any address gives a valid name:
//   N.txt  the kept text: the text of the page as the user saw it;
//   N.new  the latest text a pass fetched, waiting for the user to open the page.
// Each file holds a digest, '\n', then the text, and is written whole to a new file in the
// same folder that is then moved over the old one (MoveFileEx, REPLACE_EXISTING and
// WRITE_THROUGH), so a reader finds the old file or the new one, never a part.
//
// A text is only ever used for the digest written in its own file: ReadKeptText answers only
// for the digest asked for. That, not a lock, keeps the kept text true to the seen digest
// whatever the worker, the UI thread and other bands (other processes) do meanwhile: a race
// can at worst lose a kept text (nothing new shown once), never show a text for another
// digest.
//
// Who calls what:
//   the worker, after each fetch of a page compared by text: ReadKeptText for the seen
//       digest (to compare), KeepLatestText for the digest it found, and KeepSeenText when
//       the page is what the user saw and no text is kept for it yet (HasKeptText);
//   the UI thread, when the user opens the page, after it wrote the seen digest:
//       PromoteLatestText (the latest text becomes the kept one if it was made for that
//       digest; else the kept text goes, unless it is already that digest's);
//   the settings dialog, when a page leaves the list: RemoveKeptText.
// No call holds an item lock; each is a few file operations on one page's files.
#pragma once

#include <cstddef>
#include <string>

// The most text kept for a page, in bytes. A longer text is not kept: its page shows what it
// shows without a kept text (the digest alone).
constexpr size_t kKeptTextCap = size_t(1) << 20;

// The text kept for pageAddress when it was made for seenDigest; false (text untouched) when
// there is none, it is another digest's, or the file is unreadable or larger than the cap.
bool ReadKeptText(const std::string& pageAddress, const std::string& seenDigest, std::string* text);
// Whether a text is kept for pageAddress made for seenDigest, from its first line alone: what
// a pass asks of a page that did not change, to keep its text only when none is kept yet.
bool HasKeptText(const std::string& pageAddress, const std::string& seenDigest);
// Writes the text as the one the user saw for digest. A text over the cap is not kept, and
// any kept text of the page is removed. True when written.
bool KeepSeenText(const std::string& pageAddress, const std::string& digest, const std::string& text);
// Writes the text as the latest one fetched, made for digest. Over the cap, the latest text
// is removed instead. True when written.
bool KeepLatestText(const std::string& pageAddress, const std::string& digest, const std::string& text);
// The user opened the page and seenDigest is now the seen digest. True when the latest text
// was made for it and is now the kept text.
bool PromoteLatestText(const std::string& pageAddress, const std::string& seenDigest);
// Removes both files of the page.
void RemoveKeptText(const std::string& pageAddress);

// %LOCALAPPDATA%\Pelorin, without a trailing backslash; empty when the platform names no
// such folder.
std::wstring KeptTextFolder();
// The kept text's file for pageAddress (N.txt in the folder); empty when no name can be made.
std::wstring KeptTextPath(const std::string& pageAddress);

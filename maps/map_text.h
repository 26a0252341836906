// The text of the client's editor.ini and of map paths, without Windows:
// lines, the lookup of one "name=value" entry and its rewrite.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../module/text.h"

// Test seam: the lines as the lookup and the rewrite see them, for the tests
// and the fuzzer; the module itself walks them in one pass. The text ends at
// the first NUL; CR, LF and CR LF each end one line; a last line without an
// ending is a line.
std::vector<std::string_view> SplitLines(std::string_view text);

// The value of the first line whose name (the text before its first equals
// sign) equals entry; empty when there is none.
std::string FindEntryValue(std::string_view text, std::string_view entry, NamesEqual equal);

// The text with entry set to value, every other line kept in order and every
// line ended with CR LF. A line stands for the entry when its name, without
// blanks and tabs around it (and without a UTF-8 byte order mark on the first
// line), equals entry, as an INI reader that trims names would take it. The
// first such line is replaced in place, later ones dropped; a missing entry
// goes first; an empty value removes the entry. A byte order mark stays the
// text's first bytes, on a line of its own unless the first line it marked
// is still first, so that the entry never follows it on one line. Nothing
// when the text holds a NUL byte: it is no single-byte text, and everything
// after the NUL would be lost.
std::optional<std::string> RewriteEntry(std::string_view text, std::string_view entry, std::string_view value,
                                        NamesEqual equal);

// What MAP gets for a chosen map, so that the ANSI client can open it: the
// short form when it converted exactly, else the long form when that did;
// nothing when neither did. An empty short form means the volume has none.
std::optional<std::string> StoredMapPath(const AnsiPath& shortForm, const AnsiPath& longForm);

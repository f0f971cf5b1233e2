// How the stand-in's message window shows a message: always on one line. Internal to the host.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <string>
#include <string_view>

namespace host {

// The message as the window shows it. Each control character becomes \xHH (a backslash, an
// x and two upper-case hex digits): the C0 controls 0x00-0x1F, DEL 0x7F, and the C1 controls
// U+0080-U+009F, whose two UTF-8 bytes each become \xHH. A backslash that is followed by an x
// (or X) and two hex digits, so that it would read as such an escape, becomes \x5C. Every
// other byte, backslashes included, is kept: a message without control characters and
// without such a backslash is shown byte for byte, and the shown text reads back
// unambiguously.
std::string ShownMessage(std::string_view text);

}  // namespace host

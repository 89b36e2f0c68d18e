// The host that a server path ("\\NAME") addresses, as the Samba backend may hand it to
// Samba's binding parser.
#pragma once

#include <string>
#include <string_view>

namespace cairn {

// The text after the leading backslashes, or empty text when it is empty or holds anything
// but letters, digits, '-', '_' and '.'. The name may come from a reverse lookup, that is from
// whoever controls the address's PTR record, and Samba's binding strings give '[', ']', ',',
// ':' and '=' meanings of their own (transport, endpoint, options): such a name must fail
// like an unknown host instead of reaching the binding parser.
std::string hostFromServerPath(std::string_view serverPath);

}  // namespace cairn

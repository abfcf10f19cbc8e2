// The names under which the brander is known: its application name, its
// registry key, and the section and values of its settings store.
#pragma once

namespace brand {

inline constexpr const char* kAppName = "Velmora Software Brander";
inline constexpr const char* kRegistryKey = "Velmora Software";

inline constexpr const char* kSection = "Brander";
inline constexpr const char* kWebName = "WebName";
inline constexpr const char* kWebLink = "WebLink";
inline constexpr const char* kCBID = "CBID";
inline constexpr const char* kMRWLink = "MRWLink";
inline constexpr const char* kQLBLink = "QLBLink";
inline constexpr const char* kInitDir = "InitDir";

}  // namespace brand

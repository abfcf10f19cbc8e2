// The dialog's rules for the five texts before they are branded: leading white
// space goes, a licensee name and a web site link are required, links that
// begin "www." get "http://", and every text must fit its slot.
#pragma once

#include "Texts.h"

namespace brand {

struct TextCheck
{
    bool ok = false;
    const char* message = nullptr;  // the first failing check's message, when not ok
    BrandTexts texts;               // the normalised texts, when ok
};

inline constexpr const char* kNameMissing =
    "Please enter the name of the licensee\n\nThis can be your own name or the name of\nyour company or the name "
    "of your web site";
inline constexpr const char* kLinkMissing = "Please enter your web site link";
inline constexpr const char* kNameTooLong = "Licensee name is too long";
inline constexpr const char* kLinkTooLong = "Web Site Link is too long";
inline constexpr const char* kCBIDTooLong = "Clickbank ID is too long";
inline constexpr const char* kMirrowenTooLong = "Mirrowen link is too long";
inline constexpr const char* kQuillburnTooLong = "Quillburn link is too long";

// Applies the rules, in their order, to the texts as typed.
TextCheck CheckAndNormalise(BrandTexts typed);

}  // namespace brand

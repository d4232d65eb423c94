#pragma once
// The maker's texts that the splash and about windows and the update check show, for every
// front-end.

#include <string>
#include <string_view>

namespace corvane {

// The maker's notice line for a year: "Copyright © <year> Halvern".
inline std::u16string HalvernNoticeText(std::u16string_view Year) {
  return u"Copyright \u00A9 " + std::u16string(Year) + u" Halvern";
}
inline constexpr std::u16string_view HalvernRightsText = u"All rights reserved.";
// The year of the maker's notice in the about window.
inline constexpr std::u16string_view AboutNoticeYear = u"2017";
// What the status bar says when the update check found newer component files.
inline constexpr std::u16string_view UpdateAvailableText = u"An update of Corvane is available.";
// The maker's web address and contact e-mail address (documentation domain until real ones exist).
inline constexpr std::u16string_view HalvernWebAddressText = u"https://halvern.example.com/corvane";
inline constexpr std::u16string_view HalvernMailAddressText = u"support@halvern.example.com";

}  // namespace corvane

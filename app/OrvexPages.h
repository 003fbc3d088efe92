// The project's own web pages that the About window opens. The artwork (app/pictures) shows the
// home and contact addresses; keep them in step.
#pragma once

namespace orvex::pages {

inline constexpr char kHome[] = "https://orvex.example.org/";
inline constexpr char kContact[] = "https://orvex.example.org/kontakt/";
inline constexpr char kContribution[] = "https://orvex.example.org/unterstuetzen/";

} // namespace orvex::pages

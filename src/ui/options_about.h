// The About tab's credits: the lines it shows and how they scroll. The box
// shows the lines one below the other and moves them up by one pixel each
// step; once the last line has left the top, they come in again from the
// bottom.
#pragma once

#include <string>
#include <vector>

namespace tunelet {

enum class CreditsStyle { Plain, Heading, Link };

struct CreditsLine {
  std::u16string text;  // empty: a gap between groups
  CreditsStyle style = CreditsStyle::Plain;
};

// The author, the acknowledgements, the maker's web page and contact.
std::vector<CreditsLine> CreditsLines();

inline constexpr unsigned kCreditsStepMs = 80;

// The scroll offset is how far the text has moved up from where it enters
// (its first line just below the box). The box opens with the first line
// already near the top, so that the tab never shows an empty box.
int InitialCreditsOffset(int boxHeight);
// The top of the first line in the box's coordinates.
inline int CreditsTextTop(int offset, int boxHeight) { return boxHeight - offset; }
// The offset after one step: the text has gone when its last line is above
// the box, and then it enters again.
int NextCreditsOffset(int offset, int boxHeight, int textHeight);

}  // namespace tunelet

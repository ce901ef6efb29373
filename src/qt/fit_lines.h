#pragma once

class QLabel;

namespace plindor::qt {

// Draws a word-wrapped label's lines closer together when its text, in its font, needs more
// height than its box: a stand-in font of the layout's widths can have a taller line than the
// layout's own, and the text must show whole. Call once the label has its text and its place;
// a text that fits is left as it is. The lines close up to four fifths of the font's spacing at
// most.
void FitLines(QLabel& label);

}  // namespace plindor::qt

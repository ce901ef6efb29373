#pragma once

namespace plindor::ui {

// The credit line of the terms window.
inline constexpr char kCredit[] = "Author of this program: Plindor Works";

// The disclaimer paragraph of the terms window.
inline constexpr char kDisclaimer[] =
    "This program was developed to correct specific problems in programs developed using the "
    "various beta and release candidate builds of Microsoft Visual Basic 6. It is provided as "
    "is, without warranty of any kind, either expressed or implied, including but not limited "
    "to any warranty of merchantability or fitness for a particular purpose. In no event shall "
    "its authors or distributors be liable for any damages whatsoever, whether direct, "
    "indirect, incidental or consequential, arising out of the use of or the inability to use "
    "this program. No claims are made as to its suitability for any purpose beyond the one "
    "stated above.";

}  // namespace plindor::ui

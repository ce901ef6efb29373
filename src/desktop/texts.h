#pragma once

// The texts of the two windows, shared by every desktop front end so that they never drift
// apart. UTF-8.

namespace plindor::desktop {

// The main window.
inline constexpr char kMainTitle[] = "Plindor";
inline constexpr char kFindItAndFixIt[] = "Find It and Fix It!";
inline constexpr char kExit[] = "Exit";
inline constexpr char kInstructionsCaption[] = "Instructions";
inline constexpr char kInstructions[] =
    "Make sure that the program you want to fix is loaded onto your hard disk and that a "
    "suitable backup copy exists in case of problems. Then press the Find It and Fix It! button "
    "to select the Visual Basic program and fix it. The progress will be reported in the text "
    "box below. Press Exit when you are finished.";

// The file-open dialog's one filter: what it shows, and the names it matches.
inline constexpr char kProjectFilterName[] = "Projects (*.vbp)";
inline constexpr char kProjectFilterPattern[] = "*.vbp";

// The terms window.
inline constexpr char kIAgree[] = "I Agree";
inline constexpr char kIDisagree[] = "I Disagree";
inline constexpr char kNotice[] =
    "Important - Before using this program, you must read and agree to the Terms and Conditions "
    "listed below. If you do not, press I Disagree to leave the program. Otherwise press I "
    "Agree, to proceed.";
inline constexpr char kCredit[] = "Author of this program: Plindor Works";
inline constexpr char kDisclaimer[] =
    "This program was developed to correct specific problems in programs developed using the "
    "various beta and release candidate builds of Microsoft Visual Basic 6. It is provided as "
    "is, without warranty of any kind, either expressed or implied, including but not limited "
    "to any warranty of merchantability or fitness for a particular purpose. In no event shall "
    "its authors or distributors be liable for any damages whatsoever, whether direct, "
    "indirect, incidental or consequential, arising out of the use of or the inability to use "
    "this program. No claims are made as to its suitability for any purpose beyond the one "
    "stated above.";

// What screen readers announce for the windows and the controls that show no caption of their
// own.
inline constexpr char kTermsWindowName[] = "Plindor terms";
inline constexpr char kProgressLogName[] = "Progress log";
inline constexpr char kTermsName[] = "Terms and Conditions";
inline constexpr char kPhotoName[] = "Photograph";
inline constexpr char kLogoName[] = "Plindor logo";

}  // namespace plindor::desktop

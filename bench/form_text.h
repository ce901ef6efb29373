#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace plindor::bench {

// Texts shaped like the forms the repair meets: CR LF lines of control blocks, most controls
// from the Common Controls (" ComctlLib." class prefixes, about one every 300 bytes), some
// from Common Controls-2 and the Chart control, and an old "Object = ..." reference line now
// and then. `size` is the exact length of the result.
std::string FormLikeText(std::size_t size);
// A form that is already repaired: the same shape, no find text anywhere.
std::string RepairedFormText(std::size_t size);
// A find text every 20 bytes, the worst case a real form gets near.
std::string DenseText(std::size_t size);

// Writes "Project.vbp" listing `forms` form files of `form_size` bytes each (Form0001.frm ...)
// into `folder`, and returns the number of bytes in the forms.
std::size_t WriteProject(const std::filesystem::path& folder, std::size_t forms,
                         std::size_t form_size);
// Writes `text` to `path`, replacing any content.
void WriteText(const std::filesystem::path& path, const std::string& text);

}  // namespace plindor::bench

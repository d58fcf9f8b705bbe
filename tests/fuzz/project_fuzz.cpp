// The project reader on arbitrary bytes: it either reads or refuses with the line at fault; what
// it reads from a file it reads the same from the text, and writes and reads back unchanged.

#include <cmath>

#include "fuzz_entry.h"
#include "project/io_error.h"
#include "project/project_file.h"

namespace vistrel::fuzz {

int ProjectReader(const std::uint8_t* data, std::size_t size) {
  static const std::string input = ScratchFile("project-in.vistrel");
  WriteScratch(input, data, size);

  Project project;
  try {
    project = LoadProject(input);
  } catch (const EProjectFileError& e) {
    Require(e.line >= 1, "a refusal without its line");
    return 0;
  }
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Project from_text;
  try {
    from_text = ParseProject(bytes);
  } catch (const EProjectFileError& e) {
    Require(false, std::string("read from the file but not from its text: ") + e.what());
  }
  const std::string text = ProjectText(project);
  Require(ProjectText(from_text) == text, "the file and its text read differently");
  for (int n = 0; n < project.table.Count(); ++n) {
    const SpacePoint space = project.table.Space(n);
    Require(std::isfinite(space.X) && std::isfinite(space.Y) && std::isfinite(space.Z),
            "a space coordinate that is not a number");
  }
  try {
    Require(ProjectText(ParseProject(text)) == text, "a project changes in a write and read");
  } catch (const EProjectFileError& e) {
    Require(false, std::string("a written project does not read back: ") + e.what());
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::ProjectReader)

// Burn project files (".svp"): the input is read as a project file and
// loaded into a compilation, which is saved and loaded again. A line that
// begins with '@' has the '@' replaced by this target's folder, which holds
// a.wav (one second of CD audio), so that inputs can name files that exist
// and reach the adding of rows and the 99-row limit.
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "writer/BurnProject.h"

namespace {

std::string OneSecondWav() {
    std::string h("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data\x10\xB1\x02\0", 44);
    h[4] = '\x34';
    h[5] = '\xB1';
    h[6] = '\x02';  // RIFF size 176436
    return h + std::string(176400, '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string wav = svfuzz::WriteTempFile("a.wav", OneSecondWav());
    const std::string folder = svfuzz::TempFolder();
    std::string text;
    bool lineStart = true;
    for (char c : svfuzz::AsText(data, size)) {
        if (lineStart && c == '@') text += folder;
        else text += c;
        lineStart = c == '\r' || c == '\n';
    }
    const std::string project = svfuzz::WriteTempFile("in.svp", text);
    const std::size_t listed = sv::ProjectFilePaths(text).size();

    sv::BurnCompilation compilation;
    const sv::ProjectLoadReport report = sv::LoadProject(project, compilation);
    if (report.loaded && static_cast<std::size_t>(report.added) + report.skipped.size() != listed) std::abort();
    if (compilation.Count() > sv::kMaxCompilationRows) std::abort();
    compilation.Totals();
    sv::ImageCueText("image.wav", compilation.TrackStarts(), compilation.Count());

    // What is saved loads back as the same rows.
    const std::string again = folder + "again.svp";
    if (!sv::SaveProject(again, compilation)) std::abort();
    sv::BurnCompilation reloaded;
    sv::LoadProject(again, reloaded);
    if (reloaded.SourcePaths() != compilation.SourcePaths()) std::abort();
    (void)wav;
    return 0;
}

// The glTF exports judged by the Khronos glTF validator (npm's
// gltf-validator on node, installed into the build tree by the
// gltf_validator_install test): no errors and no warnings, for every corpus
// model as .glb, .gltf and quantised .glb, and for the edge cases of
// what files hold. Without node or the validator the tests fail: a judge
// that can't be reached is no pass.
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "model/export.h"
#include "tests/model/export_files.h"
#include "tests/writers/md2_shapes.h"

namespace {

const char* const kSeverities[] = {"error", "warning", "info", "hint"};

// The validator's reports on the files, or an empty array after a failure
// (reported) to run it.
nlohmann::json validatorReports(const std::vector<std::string>& files) {
    std::string command = "node '" OMBREL_VALIDATOR_DIR "/validate.js'";
    for (const std::string& file : files) command += " '" + file + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "can't run " << command;
        return nlohmann::json::array();
    }
    std::string output;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    const int status = pclose(pipe);
    nlohmann::json reports = nlohmann::json::parse(output, nullptr, false);
    if (status != 0 || !reports.is_array() || reports.size() != files.size()) {
        ADD_FAILURE() << command << " failed (status " << status << "): is node installed, and did the test "
                      << "gltf_validator_install (npm ci in " OMBREL_VALIDATOR_DIR ") pass?\n"
                      << output;
        return nlohmann::json::array();
    }
    return reports;
}

// Expects no error and no warning in any report; prints the infos and
// hints by code, with how often each came.
void expectValid(const std::vector<std::string>& files) {
    std::map<std::string, int> notes;
    for (const nlohmann::json& report : validatorReports(files)) {
        const std::string file = report.value("file", "");
        for (const nlohmann::json& issue : report.at("messages")) {
            const int severity = issue.value("severity", 0);
            const std::string line = std::string(kSeverities[severity & 3]) + " " + issue.value("code", "") + ": " +
                                     issue.value("message", "") + " at " + issue.value("pointer", "");
            if (severity <= 1)
                ADD_FAILURE() << file << ": " << line;
            else
                ++notes[line];
        }
    }
    for (const auto& [note, count] : notes) std::cout << count << " x " << note << "\n";
}

TEST(GltfValidator, CorpusExportsHaveNoErrorsOrWarnings) {
    testdata::ScratchDir dir;
    std::vector<std::string> files;
    for (const char* name : kCorpusModels) {
        const CorpusSubject subject = corpusSubject(name);
        ASSERT_TRUE(subject.model);
        for (bool quantize : {false, true})
            for (const char* extension : {"glb", "gltf"}) {
                ExportOptions options = subject.options();
                options.quantize = quantize;
                const std::string file =
                    dir.file(subject.name + (quantize ? "-quantized." : ".") + extension);
                const ExportResult result = exportGltf(subject.model.get(), options, file);
                ASSERT_TRUE(result.ok) << result.error;
                files.push_back(writeExportFiles(result));
            }
        // Without a skin, a part of the model, stepped.
        ExportOptions options;
        options.firstFrame = 40;
        options.lastFrame = 90;
        options.interpolate = false;
        const ExportResult result = exportGltf(subject.model.get(), options, dir.file(subject.name + "-part.glb"));
        ASSERT_TRUE(result.ok) << result.error;
        files.push_back(writeExportFiles(result));
    }
    expectValid(files);
}

TEST(GltfValidator, EdgeCaseExportsHaveNoErrorsOrWarnings) {
    Md2Model noSkinSize = testdata::md2PyramidModel();
    noSkinSize.skinWidth = noSkinSize.skinHeight = 0;
    Md2Model latin1 = triangleModel(2, "");
    latin1.frames[1].name = "caf\xe9";
    Md2Model flat = triangleModel(3, "");  // a still model: every frame the same
    for (Md2Frame& frame : flat.frames) frame = testdata::md2FrameFromPositions(frame.name, {{0, 0, 0}, {0, 8, 0}, {0, 0, 8}}, 0);
    const std::vector<std::pair<std::string, Md2Model>> models = {
        {"no-skin-size", noSkinSize}, {"one-name", triangleModel(4, "pose")}, {"one-frame", triangleModel(1, "")},
        {"latin1", latin1},           {"still", flat},
    };
    testdata::ScratchDir dir;
    std::vector<std::string> files;
    const std::vector<uint8_t> skin(4 * 4 * 3, 200);
    for (const auto& [name, md2] : models) {
        ModelPtr model = loadModelBytes(testdata::md2Bytes(md2));
        ASSERT_TRUE(model) << name;
        for (bool quantize : {false, true}) {
            ExportOptions options;
            options.quantize = quantize;
            options.skin = {skin.data(), 4, 4};
            const ExportResult result = exportGltf(model.get(), options, dir.file(name + (quantize ? "-q.glb" : ".gltf")));
            ASSERT_TRUE(result.ok) << name << ": " << result.error;
            files.push_back(writeExportFiles(result));
        }
    }
    expectValid(files);
}

}  // namespace

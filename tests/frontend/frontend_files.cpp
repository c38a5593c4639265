#include "tests/frontend/frontend_files.h"

#include <fcntl.h>
#include <stb_image_write.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tests/writers/bytes.h"
#include "tests/writers/pictures.h"

extern char** environ;

namespace frontendtest {

namespace {

void makeParent(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
}

void append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

std::string slurp(const std::string& path) {
    std::vector<uint8_t> bytes = testdata::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

testdata::Md2Model sampleModel(const std::vector<std::string>& storedSkins) {
    testdata::Md2Model model;
    model.skins = storedSkins;
    model.texCoords = {{0, 0}, {64, 0}, {0, 64}};
    model.triangles = {{{0, 1, 2}, {0, 1, 2}}};
    const char* names[] = {"idle01", "idle02", "idle03", "walk1", "walk2"};
    for (int f = 0; f < 5; ++f) {
        testdata::Md2Frame frame;
        frame.name = names[f];
        frame.translate[0] = float(f);
        frame.vertices = {{0, 0, 0, 0}, {40, 0, 0, 0}, {0, 0, 80, 0}};
        model.frames.push_back(frame);
    }
    return model;
}

void writeModel(const std::string& path, const std::vector<std::string>& storedSkins) {
    writeBytes(path, testdata::md2Bytes(sampleModel(storedSkins)));
}

void writePcx(const std::string& path) {
    makeParent(path);
    testdata::writePcx(path, testdata::samplePicture(16, 8));
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    makeParent(path);
    testdata::writeFile(path, bytes);
}

std::vector<uint8_t> pngBytes(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out;
    stbi_write_png_to_func(append, &out, width, height, 3, rgb.data(), width * 3);
    return out;
}

std::vector<uint8_t> pngRgbaBytes(int width, int height, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> out;
    stbi_write_png_to_func(append, &out, width, height, 4, rgba.data(), width * 4);
    return out;
}

std::vector<uint8_t> bmpBytes(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out;
    stbi_write_bmp_to_func(append, &out, width, height, 3, rgb.data());
    return out;
}

std::vector<uint8_t> jpegBytes(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out;
    stbi_write_jpg_to_func(append, &out, width, height, 3, rgb.data(), 90);
    return out;
}

std::vector<uint8_t> pngWithPixelData(int width, int height, const std::vector<uint8_t>& pixelData) {
    auto chunk = [](std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
        const uint32_t length = uint32_t(data.size());
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(length >> shift));
        const size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        const uint32_t crc = uint32_t(crc32(0, out.data() + start, uInt(out.size() - start)));
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(crc >> shift));
    };
    std::vector<uint8_t> header;
    for (uint32_t v : {uint32_t(width), uint32_t(height)})
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(uint8_t(v >> shift));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, not interlaced
    uLongf packedSize = compressBound(uLong(pixelData.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, pixelData.data(), uLong(pixelData.size()), 9);
    packed.resize(packedSize);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> gradientRgb(int width, int height) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            rgb.push_back(uint8_t(x * 255 / (width > 1 ? width - 1 : 1)));
            rgb.push_back(uint8_t(y * 255 / (height > 1 ? height - 1 : 1)));
            rgb.push_back(uint8_t((x * 7 + y * 13) & 255));
        }
    return rgb;
}

Result runProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& environment, const std::string& folder) {
    testdata::ScratchDir capture;
    const std::string outPath = capture.file("out"), errPath = capture.file("err");
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
        for (const std::string& variable : environment) {
            size_t equals = variable.find('=');
            if (equals == std::string::npos)
                unsetenv(variable.c_str());
            else
                setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
        }
        std::vector<char*> argv = {const_cast<char*>(program.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Result result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace frontendtest

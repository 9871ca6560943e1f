#include "render/ShaderLibrary.h"

#include "app/Log.h"
#include "render/RenderDevice.h"

#include <GL/glew.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace hm {
namespace {

std::string withTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// Extensions such as ".frag", ".shader" or ".fragment" mark fragment shaders.
bool isFragmentCandidate(const fs::directory_entry& entry) {
    const fs::path& path = entry.path();
    if (!path.has_extension())
        return false;
    const std::string extension = path.extension().string();
    return extension.find("frag") != std::string::npos || extension.find("shader") != std::string::npos;
}

std::string readSource(const std::string& path) {
    spdlog::trace("Reading shader file {0}", path);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        spdlog::error("Shader file {0} cannot be read.", path);
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Info logs end with a terminating zero (and often a newline) that do not belong in a log line.
std::string trimLog(std::string text) {
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n'))
        text.pop_back();
    return text;
}

GLuint compileShader(const std::string& source, GLenum type, const std::string& path) {
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
        glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
        spdlog::critical("Failed to compile shader {0}", path);
        spdlog::error("Shader Log:\n{0}", trimLog(log));
    }
    return shader;
}

GLuint linkProgram(GLuint vertexShader, GLuint fragmentShader, const std::string& name) {
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
        glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
        spdlog::critical("Failed to link shader program {0}", name);
        spdlog::error("Shader Program Log:\n");
        spdlog::error("{0}", trimLog(log));
    } else {
        spdlog::trace("Linked shader program successfully!");
    }
    return program;
}

} // namespace

ShaderLibrary& ShaderLibrary::instance() {
    return RenderDevice::current().shaders();
}

ShaderLibrary::ShaderLibrary(const std::string& shaderFolder, bool compile)
    : compile_(compile), fragmentFolder_(withTrailingSlash(shaderFolder) + "fragment/"),
      vertexFolder_(withTrailingSlash(shaderFolder) + "vertex/") {
    load();
}

ShaderLibrary::~ShaderLibrary() {
    if (!compile_)
        return;
    for (GLuint program : programs_)
        glDeleteProgram(program);
    for (const auto& [key, program] : variants_)
        glDeleteProgram(program);
    for (GLuint shader : vertexShaders_)
        glDeleteShader(shader);
    for (GLuint shader : fragmentShaders_)
        glDeleteShader(shader);
}

void ShaderLibrary::load() {
    std::size_t candidates = 0;
    for (const auto& entry : fs::directory_iterator(fragmentFolder_))
        if (isFragmentCandidate(entry))
            ++candidates;
    // Growable slots: a file that appears between the two walks gets a slot of its own.
    vertexShaders_.reserve(candidates);
    fragmentShaders_.reserve(candidates);
    programs_.reserve(candidates);

    for (const auto& entry : fs::directory_iterator(fragmentFolder_)) {
        if (!isFragmentCandidate(entry))
            continue;
        const std::string name = entry.path().stem().string();

        std::string vertexPath = vertexFolder_ + name + ".vert";
        std::error_code ec;
        if (!fs::exists(vertexPath, ec)) {
            vertexPath = vertexFolder_ + name + ".shader";
            if (!fs::exists(vertexPath, ec)) {
                spdlog::warn("No matching vertex shader was found for the fragment shader {0}. Skipping...",
                             name);
                continue;
            }
        }
        GLuint vertexShader = 0, fragmentShader = 0, program = 0;
        if (compile_) {
            vertexShader = compileShader(readSource(vertexPath), GL_VERTEX_SHADER, vertexPath);
            fragmentShader =
                compileShader(readSource(entry.path().string()), GL_FRAGMENT_SHADER, entry.path().string());
            program = linkProgram(vertexShader, fragmentShader, name);
        }

        const auto slot = static_cast<std::uint32_t>(programs_.size());
        vertexShaders_.push_back(vertexShader);
        fragmentShaders_.push_back(fragmentShader);
        programs_.push_back(program);
        // With x.frag and x.shader both present, the first one met keeps the name.
        if (indexByName_.try_emplace(name, slot).second)
            sourcesByName_.emplace(name, std::make_pair(vertexPath, entry.path().string()));
    }
}

std::optional<GLuint> ShaderLibrary::findProgram(const std::string& name) const {
    const auto it = indexByName_.find(name);
    if (it == indexByName_.end())
        return std::nullopt;
    return programs_[it->second];
}

namespace {

// The defines go after the #version line, which must stay the first one of the source.
std::string withDefines(const std::string& source, const std::string& defines) {
    const std::size_t lineEnd = source.find('\n');
    if (source.rfind("#version", 0) != 0 || lineEnd == std::string::npos)
        return defines + "\n" + source;
    return source.substr(0, lineEnd + 1) + defines + "\n" + source.substr(lineEnd + 1);
}

} // namespace

GLuint ShaderLibrary::getVariant(const std::string& name, const std::string& defines) {
    if (defines.empty() || !compile_)
        return getProgram(name);
    const std::string key = name + "\n" + defines;
    if (const auto it = variants_.find(key); it != variants_.end())
        return it->second;
    const auto sources = sourcesByName_.find(name);
    if (sources == sourcesByName_.end())
        return getProgram(name); // logs and ends the program
    const auto& [vertexPath, fragmentPath] = sources->second;
    const GLuint vertexShader =
        compileShader(withDefines(readSource(vertexPath), defines), GL_VERTEX_SHADER, vertexPath);
    const GLuint fragmentShader =
        compileShader(withDefines(readSource(fragmentPath), defines), GL_FRAGMENT_SHADER, fragmentPath);
    const GLuint program = linkProgram(vertexShader, fragmentShader, name);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    variants_.emplace(key, program);
    return program;
}

GLuint ShaderLibrary::getProgram(const std::string& name) const {
    if (const auto program = findProgram(name))
        return *program;
    spdlog::critical("No shader was found with the name {0}", name);
    spdlog::default_logger()->flush();
    std::exit(1);
}

} // namespace hm

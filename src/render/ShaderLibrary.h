// The shader library: every GLSL program of the game, compiled and linked once, by name.
//
// Loading walks the fragment folder (not recursively). Every file whose extension contains
// "frag" or "shader" is a fragment shader; its stem is the program name, and its vertex shader
// is <vertex folder>/<name>.vert, or failing that <name>.shader. Fragment files without a vertex
// file are skipped with a warning. Compile and link failures are logged and the program is still
// registered, so a broken shader shows up in the log instead of ending the game; asking for a
// name that was never registered does end it (exit status 1).
//
// Programs live as long as the library, which the render device owns; users keep the program
// name they looked up. Without a GPU (a null device) the library only registers the names, and
// every program is 0. All shaders receive their inputs through fixed locations (see
// ShaderLocations.h) so nothing asks GL for a uniform by name.
#pragma once

#include "render/GLHandle.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hm {

class ShaderLibrary {
public:
    // The current render device's library over "./GAME_DATA/shaders/", loaded on the first call.
    static ShaderLibrary& instance();

    // Loads every program below shaderFolder, which holds "fragment/" and "vertex/"; compile
    // false only registers the names (no GL call). A missing fragment folder throws
    // std::filesystem::filesystem_error.
    explicit ShaderLibrary(const std::string& shaderFolder = "./GAME_DATA/shaders/", bool compile = true);
    ~ShaderLibrary();
    ShaderLibrary(const ShaderLibrary&) = delete;
    ShaderLibrary& operator=(const ShaderLibrary&) = delete;

    // The program of that name; an unknown name logs a critical line and exits with status 1.
    GLName getProgram(const std::string& name) const;
    // The program of that name, or nothing.
    std::optional<GLName> findProgram(const std::string& name) const;
    // The program of that name compiled again with `defines` (lines such as "#define FAST")
    // after its #version line, built on first request and kept; the plain program when defines
    // is empty. Quality levels and optional features pick shader paths this way without keeping
    // near-copies of the files. An unknown name ends the program as getProgram does.
    GLName getVariant(const std::string& name, const std::string& defines);

    std::size_t programCount() const { return programs_.size(); }
    const std::string& fragmentFolder() const { return fragmentFolder_; }
    const std::string& vertexFolder() const { return vertexFolder_; }

private:
    void load();

    bool compile_ = true;
    std::string fragmentFolder_;
    std::string vertexFolder_;
    // Slot i of each vector belongs to the same program.
    std::vector<GLName> vertexShaders_;
    std::vector<GLName> fragmentShaders_;
    std::vector<GLName> programs_;
    std::map<std::string, std::uint32_t> indexByName_;
    // Vertex and fragment file of each program, by name, for its variants.
    std::map<std::string, std::pair<std::string, std::string>> sourcesByName_;
    std::map<std::string, GLName> variants_;
};

} // namespace hm

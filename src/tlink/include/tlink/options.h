// The linker's command line: TLink.CFG text, response files and arguments become one LinkRequest.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace krvs::tlink {

struct LinkOptions {
    bool map = true;            // /x turns the map off
    bool publics = false;       // /m
    bool detailed = false;      // /s (implies publics)
    bool lineNumbers = false;   // /l
    bool com = false;           // /t
    bool debugInfo = false;     // /v
    bool caseSensitive = false; // /c
    bool records32 = false;     // /3
    bool initAll = false;       // /i: write uninitialised trailing segments too
    bool noDefaultLibs = false; // /n
    bool warnDuplicates = false;  // /d
    std::vector<std::string> libraryPaths;  // /L
};

struct LinkRequest {
    LinkOptions options;
    std::vector<std::string> objects;
    std::string exe;
    std::string map;
    std::vector<std::string> libraries;
    std::string def;
};

// Reads a response file's text, or nothing when it cannot be opened.
using FileReader = std::function<std::optional<std::string>(const std::string& name)>;

class CommandLine {
public:
    explicit CommandLine(FileReader reader) : m_reader(std::move(reader)) {}

    // Options of a TLink.CFG file; file names in it are kept apart and used only when the command line
    // names no file.
    void addConfig(const std::string& text);
    // The command-line arguments, in order; @name pulls in a response file.
    void addArguments(const std::vector<std::string>& args);

    // The request with default names and extensions filled in, or the fatal message text.
    std::optional<std::string> finish(LinkRequest& out) const;

private:
    struct Fields {
        std::vector<std::vector<std::string>> items = std::vector<std::vector<std::string>>(5);
        bool any() const;
    };
    // Splits `text` into options and file fields. `newlineIsComma`: response-file lines end fields.
    void parse(const std::string& text, Fields& fields, bool newlineIsComma, int depth);
    void option(const std::string& token);

    FileReader m_reader;
    LinkOptions m_options;
    Fields m_configFields;
    Fields m_lineFields;
    std::optional<std::string> m_error;
};

// The usage text: the syntax and every option with what it does in this linker.
std::string helpText();

// Applies `ext` when the last component of `name` has no extension.
std::string withDefaultExtension(const std::string& name, const std::string& ext);
std::string replaceExtension(const std::string& name, const std::string& ext);

}  // namespace krvs::tlink

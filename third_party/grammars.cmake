# SPDX-License-Identifier: MIT
# The tree-sitter grammars the editor colours with: each comes from its own npm package, pinned by
# version and checksum, fetched once into a cache shared by every build folder (so the three CI
# builds download nothing twice and a build works offline after the first), and compiled into
# one static library without sanitizers or warnings: generated parsers are not our code, and the
# largest run to tens of megabytes of C.
enable_language(C)
find_package(PkgConfig REQUIRED)
# Debian 12 names 0.20.7 "0.6.3" in its pkg-config file (the library's own numbering), so the
# version is not asked for here; the grammars' ABI is checked below and at start-up.
pkg_check_modules(TREE_SITTER REQUIRED IMPORTED_TARGET tree-sitter)

set(QUILLARY_GRAMMAR_CACHE "$ENV{HOME}/.cache/quillary/grammars"
    CACHE PATH "Where the pinned grammar packages are kept once fetched")

# id | name shown | npm package | version | sha256 of its tarball | source folder | highlight
# queries in the order the package's tree-sitter.json lists them (of patterns catching one node the
# last wins) |
# the grammar's function. A query file of another package is named package:path.
set(QUILLARY_GRAMMARS
    "bash|Bash|tree-sitter-bash|0.23.3|10f4d67f56e07bc6cc34c49afb34e232269c1e0a19933880dfdb5dd738a8fc7d|src|queries/highlights.scm|tree_sitter_bash"
    "c|C|tree-sitter-c|0.23.4|31f07c7c29748a2cf93ac1e0e1363324689f5ebf39c5b012081cb677a1392f5a|src|queries/highlights.scm|tree_sitter_c"
    "cpp|C++|tree-sitter-cpp|0.23.4|615d152f70e7a6bed8f15a93c3c0c264c40dc71c1b6a1445646fff9439e776bc|src|tree-sitter-c:queries/highlights.scm+queries/highlights.scm|tree_sitter_cpp"
    "csharp|C#|tree-sitter-c-sharp|0.23.1|19c59068a19ff74b688c0985a19382503fc16b27f2b44b392aed908106700805|src|queries/highlights.scm|tree_sitter_c_sharp"
    "css|CSS|tree-sitter-css|0.23.2|7dd088805e0f206d6b15d13ce717f9be89b9ff023efcc7970ca5a9064aa45aba|src|queries/highlights.scm|tree_sitter_css"
    "go|Go|tree-sitter-go|0.23.4|8779d20d322b4319ad8c833ea72ecb6d109cf1fec8979bdcdb5315a2e511dd2c|src|queries/highlights.scm|tree_sitter_go"
    "html|HTML|tree-sitter-html|0.23.2|6b024fc38fce2b4807d0ac35023487da682a15cd986ba2ee9d6c25feff9392ed|src|queries/highlights.scm|tree_sitter_html"
    "java|Java|tree-sitter-java|0.23.5|6b6c1b62605f9d8bb80efd2ebe5951a87b182faafa3eeb67c460a667818551b6|src|queries/highlights.scm|tree_sitter_java"
    "javascript|JavaScript|tree-sitter-javascript|0.23.1|90e80b25a67517a4daf6ad751557bee21efbda7b7a5a554897933245d1734398|src|queries/highlights.scm|tree_sitter_javascript"
    "json|JSON|tree-sitter-json|0.24.8|39e96d1e4231d200562ebd69105151cd43f58dda4b18a0e9a62fe2991da35b9c|src|queries/highlights.scm|tree_sitter_json"
    "php|PHP|tree-sitter-php|0.23.12|4c07c4dd961ed1370328cd4f6213c8842f7ff08e7eb5b30293a3c1f0392527fb|php/src|queries/highlights.scm|tree_sitter_php"
    "python|Python|tree-sitter-python|0.23.6|aab5b860d93dbf84b37fed532f7dacc0468ede5387d0c74911d68f964287662a|src|queries/highlights.scm|tree_sitter_python"
    "ruby|Ruby|tree-sitter-ruby|0.23.1|1f0f0c100e31ddf650962ebb1f1fb8420bdbabccd49582f6e731ea7478db639d|src|queries/highlights.scm|tree_sitter_ruby"
    "rust|Rust|tree-sitter-rust|0.23.3|5c1d96a9628875c7ba122da1a3aa0bf62b547b5a720673fa318336de27506c66|src|queries/highlights.scm|tree_sitter_rust"
    "sql|SQL|@derekstride/tree-sitter-sql|0.3.11|20f2670c6bee98c442cf0a2afe6e4965b1a96a7752c89d8a37604c173db0c623|src|queries/highlights.scm|tree_sitter_sql"
    "typescript|TypeScript|tree-sitter-typescript|0.23.2|0fdf63c35930a75885145d75ee63cb879da2d49db9bfe454bd8e60b08ba778a1|typescript/src|queries/highlights.scm+tree-sitter-javascript:queries/highlights.scm|tree_sitter_typescript"
    "yaml|YAML|@tree-sitter-grammars/tree-sitter-yaml|0.7.1|30dbdc539dcfa905252a0d1772270d457d58ceddfa3d6a4fac564f02837241ba|src|queries/highlights.scm|tree_sitter_yaml"
)

find_program(QUILLARY_NPM npm)

function(quillary_fetch_grammar package version sha256 out)
    string(REPLACE "/" "_" key "${package}")
    string(REPLACE "@" "" key "${key}")
    set(dir "${QUILLARY_GRAMMAR_CACHE}/${key}-${version}")
    if(NOT EXISTS "${dir}/package/package.json")
        if(NOT QUILLARY_NPM)
            message(FATAL_ERROR "npm is needed once to fetch ${package}@${version} "
                                "(scripts/install-deps.sh installs it)")
        endif()
        string(RANDOM LENGTH 8 part)
        set(partDir "${dir}.part-${part}")
        file(MAKE_DIRECTORY "${partDir}")
        execute_process(COMMAND "${QUILLARY_NPM}" pack "${package}@${version}" --silent
                                --pack-destination "${partDir}"
                        WORKING_DIRECTORY "${partDir}" RESULT_VARIABLE failed
                        OUTPUT_VARIABLE tarball OUTPUT_STRIP_TRAILING_WHITESPACE)
        string(REGEX REPLACE ".*\n" "" tarball "${tarball}")
        if(failed OR NOT EXISTS "${partDir}/${tarball}")
            message(FATAL_ERROR "Could not fetch ${package}@${version} with npm")
        endif()
        file(SHA256 "${partDir}/${tarball}" actual)
        if(NOT actual STREQUAL sha256)
            message(FATAL_ERROR "${package}@${version} is not the pinned package: "
                                "sha256 ${actual}, expected ${sha256}")
        endif()
        file(ARCHIVE_EXTRACT INPUT "${partDir}/${tarball}" DESTINATION "${partDir}")
        file(REMOVE "${partDir}/${tarball}")
        file(RENAME "${partDir}" "${dir}" RESULT renamed)
        if(NOT renamed STREQUAL "0") # another configure got there first
            file(REMOVE_RECURSE "${partDir}")
        endif()
    endif()
    set(${out} "${dir}/package" PARENT_SCOPE)
endfunction()

set(grammarSources)
set(tableDeclarations)
set(tableEntries)
foreach(entry IN LISTS QUILLARY_GRAMMARS)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 id)
    list(GET fields 1 name)
    list(GET fields 2 package)
    list(GET fields 3 version)
    list(GET fields 4 sha256)
    list(GET fields 5 srcDir)
    list(GET fields 6 queries)
    list(GET fields 7 function)
    quillary_fetch_grammar("${package}" "${version}" "${sha256}" root)
    set(packageRoot_${package} "${root}")
    # Compiled into the program, so their licences go with it.
    string(REGEX REPLACE "^@|^.*/" "" licenceName "${package}")
    install(FILES "${root}/LICENSE" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/quillary/grammars"
            RENAME "${licenceName}-${version}.LICENSE")
    set(src "${root}/${srcDir}")
    file(STRINGS "${src}/parser.c" abi REGEX "^#define LANGUAGE_VERSION ")
    string(REGEX REPLACE "[^0-9]" "" abi "${abi}")
    if(abi GREATER 14 OR abi LESS 13)
        message(FATAL_ERROR "${package}@${version} is ABI ${abi}; tree-sitter 0.20 loads 13 and 14")
    endif()
    list(APPEND grammarSources "${src}/parser.c")
    foreach(scanner scanner.c scanner.cc)
        if(EXISTS "${src}/${scanner}")
            list(APPEND grammarSources "${src}/${scanner}")
            set_source_files_properties("${src}/${scanner}" PROPERTIES
                INCLUDE_DIRECTORIES "${src}")
        endif()
    endforeach()
    set_source_files_properties("${src}/parser.c" PROPERTIES INCLUDE_DIRECTORIES "${src}")
    # The highlight queries, joined, as a raw string.
    set(query "")
    string(REPLACE "+" ";" queryFiles "${queries}")
    foreach(queryFile IN LISTS queryFiles)
        if(queryFile MATCHES "^(.*):(.*)$")
            set(queryPath "${packageRoot_${CMAKE_MATCH_1}}/${CMAKE_MATCH_2}")
        else()
            set(queryPath "${root}/${queryFile}")
        endif()
        file(READ "${queryPath}" text)
        string(APPEND query "${text}\n")
    endforeach()
    string(APPEND tableDeclarations "extern \"C\" const TSLanguage* ${function}(void);\n")
    string(APPEND tableEntries
        "    {\"${id}\", \"${name}\", \"${package}@${version}\", ${function}, R\"QUERY(${query})QUERY\"},\n")
endforeach()

file(WRITE "${CMAKE_BINARY_DIR}/generated/grammartable.cpp.new"
"// Generated by third_party/grammars.cmake.
#include \"editor/grammartable.h\"

${tableDeclarations}
const std::vector<GrammarEntry>& grammarTable() {
    static const std::vector<GrammarEntry> table{
${tableEntries}    };
    return table;
}
")
file(COPY_FILE "${CMAKE_BINARY_DIR}/generated/grammartable.cpp.new"
     "${CMAKE_BINARY_DIR}/generated/grammartable.cpp" ONLY_IF_DIFFERENT)

add_library(quillary_grammars STATIC ${grammarSources})
# Not our code: no warnings, no sanitizer or fuzzer instrumentation, no debug information (tens of
# megabytes of it for one parser). The optimiser level barely changes the build time (C#, the
# largest, takes about 18 s at -O0, -O1 or -O2: the time goes into reading its tables).
set_target_properties(quillary_grammars PROPERTIES COMPILE_OPTIONS "-w;-O2;-g0"
                      C_STANDARD 11 POSITION_INDEPENDENT_CODE ON)
target_link_libraries(quillary_grammars PUBLIC PkgConfig::TREE_SITTER)

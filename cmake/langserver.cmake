# vostrel-lsp: the language server over standard input and output. Its
# engine (documents, runs, positions) is Qt-free like the core.
file(GLOB VOSTREL_LANGSERVER_SOURCES CONFIGURE_DEPENDS langserver/*.cpp)
list(FILTER VOSTREL_LANGSERVER_SOURCES EXCLUDE REGEX "_test\\.cpp$")
add_library(vostrel_langserver STATIC ${VOSTREL_LANGSERVER_SOURCES})
target_link_libraries(vostrel_langserver PUBLIC vostrel_core vostrel_json)

file(GLOB VOSTREL_LSP_SOURCES CONFIGURE_DEPENDS lsp/*.cpp)
add_executable(vostrel-lsp ${VOSTREL_LSP_SOURCES} platform/console_${VOSTREL_PLATFORM}.cpp)
target_link_libraries(vostrel-lsp PRIVATE vostrel_langserver Threads::Threads)
install(TARGETS vostrel-lsp RUNTIME DESTINATION .)

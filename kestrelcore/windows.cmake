# kestrelcore.dll: no "lib" prefix; exactly the exports of kestrelcore.def, undecorated, at
# their ordinals; the C++ runtime, libgcc and winpthread linked in, so that the DLL needs
# only system DLLs (KERNEL32, USER32, msvcrt).
target_sources(kestrelcore PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/kestrelcore.def")
set_target_properties(kestrelcore PROPERTIES PREFIX "")
target_link_options(kestrelcore PRIVATE -static -static-libgcc -static-libstdc++)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # stdcall symbols carry "@<argument bytes>"; the exported names must not.
    target_link_options(kestrelcore PRIVATE "LINKER:--kill-at" "LINKER:--enable-stdcall-fixup")
    # The import library the linker writes then names the undecorated symbols, which a C
    # caller compiled against the header (stdcall, so decorated references) cannot resolve:
    # replace it by one that maps the decorated names to the undecorated exports.
    add_custom_command(TARGET kestrelcore POST_BUILD
        COMMAND "${CMAKE_COMMAND}" "-DNM=${CMAKE_NM}" "-DDLLTOOL=${CMAKE_DLLTOOL}"
            "-DDEF=${CMAKE_CURRENT_SOURCE_DIR}/kestrelcore.def"
            "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:kestrelcore_objects>,|>"
            "-DDLL_NAME=$<TARGET_FILE_NAME:kestrelcore>"
            "-DDECORATED_DEF=${CMAKE_CURRENT_BINARY_DIR}/kestrelcore-decorated.def"
            "-DIMPORT_LIBRARY=$<TARGET_LINKER_FILE:kestrelcore>"
            -P "${CMAKE_CURRENT_SOURCE_DIR}/import_library.cmake"
        VERBATIM)
endif()

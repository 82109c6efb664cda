# cmake -DBITMAPS_DIR=... -DICONS_DIR=... -DOUTPUT=... -P EmbedPictures.cmake
#
# Turns every PNG of the two folders into a byte array in one generated .cpp,
# with a table per folder. A file named "148_main_window.png" is resource id
# 148; any other name ("WEBU.png") is a named resource.
function(embed_folder dir table out_var)
    file(GLOB files ${dir}/*.png)
    list(SORT files)
    set(arrays "")
    set(rows "")
    set(index 0)
    foreach(file IN LISTS files)
        get_filename_component(stem ${file} NAME_WE)
        file(READ ${file} hex HEX)
        string(LENGTH "${hex}" hex_length)
        math(EXPR size "${hex_length} / 2")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
        set(symbol "k${table}${index}")
        string(APPEND arrays "const unsigned char ${symbol}[] = {\n${bytes}};\n")
        if(stem MATCHES "^([0-9]+)(_.*)?$")
            string(APPEND rows "    {${CMAKE_MATCH_1}, \"\", ${symbol}, ${size}},\n")
        else()
            string(APPEND rows "    {0, \"${stem}\", ${symbol}, ${size}},\n")
        endif()
        math(EXPR index "${index} + 1")
    endforeach()
    set(${out_var} "${arrays}\nconst EmbeddedPicture k${table}[] = {\n${rows}};\n" PARENT_SCOPE)
endfunction()

embed_folder(${BITMAPS_DIR} Bitmaps bitmaps)
embed_folder(${ICONS_DIR} Icons icons)
file(WRITE ${OUTPUT}.tmp "// Generated from resources/bitmaps and resources/icons; do not edit.
#include \"resources/Resources.h\"

namespace tolvar {
namespace {
${bitmaps}
${icons}
} // namespace

std::span<const EmbeddedPicture> BitmapResources() { return kBitmaps; }
std::span<const EmbeddedPicture> IconResources() { return kIcons; }

} // namespace tolvar
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)

# SPDX-License-Identifier: GPL-3.0-or-later
# Embeds the program's pictures and its string table into a target. The pictures are not kept in
# the source tree: ostrum-artwork (tools/artwork) draws them when the build runs, offscreen, and
# the Qt resource compiler embeds the PNG files it writes. The numbers below are those of the Picture
# enum (src/app/resources/artwork_names.h), kBitmapIds and kIconIds there; a test
# (tests/ui_controls/program_resources_test.cpp) fails when they differ.

function(ostrum_embed_artwork target)
    set(out ${CMAKE_BINARY_DIR}/artwork)
    set(bitmap_ids 129 130 131 132 133 134 135 136 137 138 139 140 144 147 150 151 155 156 157 158 159 160 161)
    set(icon_ids 128 145 146 163)
    set(icon_sizes 16 32 48)
    set(files)
    foreach(id ${bitmap_ids})
        list(APPEND files ${out}/bitmap_${id}.png)
    endforeach()
    foreach(id ${icon_ids})
        foreach(size ${icon_sizes})
            list(APPEND files ${out}/icon_${id}_${size}.png)
        endforeach()
    endforeach()
    add_custom_command(
        OUTPUT ${files}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:ostrum-artwork> ${out}
        DEPENDS ostrum-artwork
        COMMENT "Drawing the program's pictures"
        VERBATIM)
    qt_add_resources(${target} ostrum_artwork PREFIX /ostrum BASE ${out} FILES ${files})
    qt_add_resources(${target} ostrum_strings PREFIX /ostrum BASE ${PROJECT_SOURCE_DIR}/resources
                     FILES ${PROJECT_SOURCE_DIR}/resources/strings.txt)
endfunction()

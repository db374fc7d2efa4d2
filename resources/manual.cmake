# SPDX-License-Identifier: GPL-3.0-or-later
# The HTML manual that F1 opens. Its pages are in resources/manual; its pictures are drawn by the gallery
# (tools/gallery) when the build runs, offscreen, and copied in under the names the pages use. The build
# writes the whole manual into the folder "manual" beside the desktop program, where the program finds it
# when run from its build; `cmake --install` and the package put it in share/doc/ostrum-tape/manual.

set(manual_source ${PROJECT_SOURCE_DIR}/resources/manual)
set(manual_dir ${CMAKE_CURRENT_BINARY_DIR}/manual)
set(manual_gallery ${CMAKE_BINARY_DIR}/manual-gallery)
set(manual_pictures wizard_start wizard_image device_selection wizard_imaging recovery recovery_filter preview
                    save_progress recovery_lost recovery_two_media)

file(GLOB manual_texts CONFIGURE_DEPENDS ${manual_source}/*.html ${manual_source}/*.css)
set(manual_outputs)
set(copy_pictures)
foreach(picture ${manual_pictures})
    list(APPEND manual_outputs ${manual_dir}/pictures/${picture}.png)
    list(APPEND copy_pictures COMMAND ${CMAKE_COMMAND} -E copy ${manual_gallery}/gallery_${picture}.png
         ${manual_dir}/pictures/${picture}.png)
endforeach()
add_custom_command(
    OUTPUT ${manual_outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${manual_gallery} ${manual_dir}/pictures
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:ostrum-gallery>
            ${manual_gallery}/gallery.png
    ${copy_pictures}
    DEPENDS ostrum-gallery
    COMMENT "Drawing the manual's pictures"
    VERBATIM)

set(manual_pages)
foreach(text ${manual_texts})
    get_filename_component(name ${text} NAME)
    list(APPEND manual_pages ${manual_dir}/${name})
endforeach()
add_custom_command(
    OUTPUT ${manual_pages}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${manual_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${manual_texts} ${manual_dir}
    DEPENDS ${manual_texts}
    COMMENT "Copying the manual's pages"
    VERBATIM)
add_custom_target(ostrum_manual ALL DEPENDS ${manual_outputs} ${manual_pages})

install(DIRECTORY ${manual_dir}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostrum-tape/manual)

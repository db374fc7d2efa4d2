# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a text file compressed as Debian keeps manual pages and changelogs: gzip -9 -n (-n leaves the
# name and time out of the gzip header, so the same text gives the same bytes).
find_program(OSTRUM_GZIP gzip REQUIRED)

function(ostrum_install_compressed source destination)
    get_filename_component(name ${source} NAME)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(
        OUTPUT ${compressed}
        COMMAND ${OSTRUM_GZIP} -9 -n -c ${source} > ${compressed}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    string(MAKE_C_IDENTIFIER "ostrum_compressed_${name}" target)
    add_custom_target(${target} ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${destination})
endfunction()

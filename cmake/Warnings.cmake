# Warnings and the strict Qt defines every target of ours uses.
add_library(orvel_options INTERFACE)
target_compile_options(orvel_options INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
    -Wno-missing-field-initializers)
if(ORVEL_WERROR)
    target_compile_options(orvel_options INTERFACE -Werror)
endif()
target_compile_definitions(orvel_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_KEYWORDS
    QT_NO_FOREACH)

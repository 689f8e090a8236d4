# Precompiled headers for the targets where they pay: most of a file's
# compile time is spent reading the standard and Qt headers, the same for
# every file of a library. A target of at least vadrel_pch_min_sources
# sources that reaches Qt Core through what it links gets the standard and
# Qt Core headers its files use most (and Qt Widgets' where it links them),
# compiled once for the target. Each target has its own: GCC takes a
# precompiled header only where the Qt module macros (QT_NETWORK_LIB...) are
# the same, and they differ from one target to the next. A one-file test gains
# nothing from it, so tests have none.
#
# VADREL_PCH=OFF builds without them, which also shows an #include that a
# file forgot (scripts/check-builds.sh clang).

set(vadrel_pch_min_sources 3)

set(vadrel_pch_std <algorithm> <array> <chrono> <cmath> <cstdint> <functional> <map> <memory>
    <optional> <string> <string_view> <utility> <variant> <vector>)
set(vadrel_pch_core <QtCore/QByteArray> <QtCore/QCoreApplication> <QtCore/QFile> <QtCore/QObject>
    <QtCore/QString> <QtCore/QTimer>)
set(vadrel_pch_widgets <QtWidgets/QDialog> <QtWidgets/QLabel> <QtWidgets/QLineEdit>
    <QtWidgets/QPushButton> <QtWidgets/QWidget>)

# Whether `target` links `wanted`, directly or through the libraries it links.
function(vadrel_links target wanted result)
    set(seen "")
    set(pending ${target})
    while(pending)
        list(POP_FRONT pending current)
        if(current IN_LIST seen OR NOT TARGET ${current})
            continue()
        endif()
        list(APPEND seen ${current})
        get_target_property(aliased ${current} ALIASED_TARGET)
        if(aliased)
            set(current ${aliased})
        endif()
        if(current STREQUAL wanted)
            set(${result} TRUE PARENT_SCOPE)
            return()
        endif()
        get_target_property(type ${current} TYPE)
        set(property LINK_LIBRARIES)
        if(type STREQUAL "INTERFACE_LIBRARY" OR type MATCHES "IMPORTED" OR type STREQUAL "UNKNOWN_LIBRARY")
            set(property INTERFACE_LINK_LIBRARIES)
        endif()
        get_target_property(imported ${current} IMPORTED)
        if(imported)
            set(property INTERFACE_LINK_LIBRARIES)
        endif()
        get_target_property(links ${current} ${property})
        if(links)
            foreach(link IN LISTS links)
                # $<LINK_ONLY:x> and other wrappers: the name inside.
                string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" link "${link}")
                if(TARGET ${link})
                    list(APPEND pending ${link})
                endif()
            endforeach()
        endif()
    endwhile()
    set(${result} FALSE PARENT_SCOPE)
endfunction()

# Every target defined under `folder` (and its subfolders).
function(vadrel_targets_under folder result)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    foreach(subfolder IN LISTS subfolders)
        vadrel_targets_under(${subfolder} more)
        list(APPEND targets ${more})
    endforeach()
    set(${result} ${targets} PARENT_SCOPE)
endfunction()

function(vadrel_precompile_headers)
    if(NOT VADREL_PCH)
        return()
    endif()
    vadrel_targets_under(${PROJECT_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
            continue()
        endif()
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.cpp$")
        list(LENGTH sources count)
        if(count LESS vadrel_pch_min_sources)
            continue()
        endif()
        vadrel_links(${target} Qt6::Core with_core)
        if(NOT with_core)
            continue()
        endif()
        set(headers ${vadrel_pch_std} ${vadrel_pch_core})
        vadrel_links(${target} Qt6::Widgets with_widgets)
        if(with_widgets)
            list(APPEND headers ${vadrel_pch_widgets})
        endif()
        target_precompile_headers(${target} PRIVATE ${headers})
    endforeach()
endfunction()

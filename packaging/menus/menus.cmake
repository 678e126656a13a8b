# The file managers' right-click menus, all made from one table (rules.tsv) so that they offer the
# same rules with the same labels and cannot drift apart. Every entry starts the window program
# with the rule's option, "--" and the selected paths, so that the user sees the progress, the
# message at the end and can take the renames back from the drop zone's menu.
#
#   versalo_menus(OUT_DIR)  writes the files under OUT_DIR in the layout of share/ and installs them
#
# Included from VersaloInstall.cmake.

set(VERSALO_MENUS_DIR "${CMAKE_CURRENT_LIST_DIR}")
set(VERSALO_MENU_TITLE "Groß-/Kleinschreibung")
set(VERSALO_MENU_COMMENT "Ändert die Groß- und Kleinschreibung der Namen, in Ordnern in jeder Tiefe")

function(versalo_menus out)
    # configure_file makes CMake read the table again whenever it changes.
    configure_file("${VERSALO_MENUS_DIR}/rules.tsv" "${out}/rules.tsv" COPYONLY)
    file(STRINGS "${VERSALO_MENUS_DIR}/rules.tsv" lines ENCODING UTF-8 REGEX "^[^#]")
    set(rules "")
    foreach(line IN LISTS lines)
        string(REPLACE "\t" ";" fields "${line}")
        list(LENGTH fields count)
        if(NOT count EQUAL 3)
            message(FATAL_ERROR "rules.tsv: a line needs rule, option and label, tab-separated: ${line}")
        endif()
        list(GET fields 0 rule)
        list(GET fields 1 option)
        list(GET fields 2 label)
        list(APPEND rules "${rule}")
        set(option_${rule} "${option}")
        set(label_${rule} "${label}")
    endforeach()
    list(JOIN rules ";" actions)

    # Every entry runs the same command: the paths come last, after "--", so that a name beginning
    # with "-" is never taken for an option.
    set(exec_prefix "versalo")

    # Dolphin (KF5 from 5.85 and KF6): one service menu with a submenu. Only local files: for
    # other places KIO would hand over temporary copies, and renaming those changes nothing.
    set(text "[Desktop Entry]\nType=Service\nMimeType=all/all;\nX-KDE-Protocols=file\n")
    string(APPEND text "X-KDE-Submenu=${VERSALO_MENU_TITLE}\nIcon=versalo\nActions=${actions};\n")
    foreach(rule IN LISTS rules)
        string(APPEND text "\n[Desktop Action ${rule}]\nName=${label_${rule}}\nIcon=versalo\n"
                           "Exec=${exec_prefix} ${option_${rule}} -- %F\n")
    endforeach()
    file(WRITE "${out}/kio/servicemenus/versalo.desktop" "${text}")

    # Nautilus (GNOME 43 and later): a nautilus-python extension; its rules are written into it.
    set(VERSALO_MENU_RULES "")
    foreach(rule IN LISTS rules)
        string(APPEND VERSALO_MENU_RULES "    (\"${rule}\", \"${option_${rule}}\", \"${label_${rule}}\"),\n")
    endforeach()
    configure_file("${VERSALO_MENUS_DIR}/versalo-nautilus.py.in"
                   "${out}/nautilus-python/extensions/versalo-nautilus.py" @ONLY)

    # The file-manager actions of PCManFM-Qt (libfm) and Caja: a menu that lists one action per
    # rule by its file name.
    set(items "")
    foreach(rule IN LISTS rules)
        list(APPEND items "versalo-${rule}")
        file(WRITE "${out}/file-manager/actions/versalo-${rule}.desktop"
             "[Desktop Entry]\nType=Action\nName=${label_${rule}}\nTooltip=${VERSALO_MENU_COMMENT}\n"
             "Icon=versalo\nTargetContext=true\nProfiles=local;\n\n"
             "[X-Action-Profile local]\nName=${label_${rule}}\nExec=${exec_prefix} ${option_${rule}} -- %F\n"
             "MimeTypes=all/all;\nSchemes=file;\nSelectionCount=>0\n")
    endforeach()
    list(JOIN items ";" items)
    file(WRITE "${out}/file-manager/actions/versalo.desktop"
         "[Desktop Entry]\nType=Menu\nName=${VERSALO_MENU_TITLE}\nTooltip=${VERSALO_MENU_COMMENT}\n"
         "Icon=versalo\nItemsList=${items};\n")

    foreach(rule IN LISTS rules)
        set(name "${VERSALO_MENU_TITLE}: ${label_${rule}}")
        # Nemo (Cinnamon): no submenus for system-wide actions, so the title goes into each label.
        # Nemo puts the paths into the command line as text and splits it again like a shell;
        # with EscapeSpaces it puts a backslash before blanks, quotes and backslashes.
        file(WRITE "${out}/nemo/actions/versalo-${rule}.nemo_action"
             "[Nemo Action]\nName=${name}\nComment=${VERSALO_MENU_COMMENT}\nIcon-Name=versalo\n"
             "Exec=${exec_prefix} ${option_${rule}} -- %F\nSelection=notnone\nExtensions=any;\n"
             "EscapeSpaces=true\nDependencies=versalo;\n")
        # Thunar (Xfce): "Senden an" entries are desktop entries that GIO starts; without a
        # MimeType key Thunar offers them for files and folders alike.
        file(WRITE "${out}/Thunar/sendto/versalo-${rule}.desktop"
             "[Desktop Entry]\nType=Application\nVersion=1.0\nName=${name}\nComment=${VERSALO_MENU_COMMENT}\n"
             "Icon=versalo\nExec=${exec_prefix} ${option_${rule}} -- %F\nTerminal=false\n")
    endforeach()

    install(DIRECTORY "${out}/nemo" "${out}/Thunar" "${out}/file-manager" "${out}/nautilus-python"
            DESTINATION "${CMAKE_INSTALL_DATADIR}")
    # KIO of KF6 reads a service menu that is not owned by root (installed into a user's prefix)
    # only when it is executable.
    install(FILES "${out}/kio/servicemenus/versalo.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/kio/servicemenus"
            PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()

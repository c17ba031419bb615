# Qt's own texts in Russian (the buttons of message boxes, the file, folder and
# print dialogs) for the window programs. Linux takes Qt's translation from
# Debian's qt6-translations-l10n; on Windows it sits in a "translations" folder
# beside the programs, taken from the Qt prefix or, as its Qt has none, from
# Debian's files of the same Qt release.
if(WIN32)
  find_file(SOVIKAN_QTBASE_RU qtbase_ru.qm
    PATHS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}" /usr/share/qt6/translations
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT SOVIKAN_QTBASE_RU)
    message(FATAL_ERROR "qtbase_ru.qm not found (Debian: apt-get install qt6-translations-l10n)")
  endif()
  install(FILES ${SOVIKAN_QTBASE_RU} DESTINATION ${CMAKE_INSTALL_BINDIR}/translations)
endif()

# The translation beside a program of the build tree, where it looks as an
# installed Windows program does (Linux programs find Qt's own folder).
function(sovikan_qt_texts_beside target)
  if(WIN32)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/translations
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${SOVIKAN_QTBASE_RU} $<TARGET_FILE_DIR:${target}>/translations/
      VERBATIM)
  endif()
endfunction()

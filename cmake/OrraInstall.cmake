# cmake --install build --prefix PREFIX: the programs, their shared libraries, the designer's
# help pages and its desktop entry with its icon.

set(orra_programs morvane dornel orrasql orra-demo vbsrun)
set(orra_libraries platform_host platform_text platform_db platform_vbscript platform_ado platform_spreadsheet
  platform_widgets catalogue common tavrel tavrel_prompt brisken designer_shell designer_catalogue designer_editor
  dornel_desktop)

foreach(program IN LISTS orra_programs)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
foreach(library IN LISTS orra_libraries)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${ORRA_INSTALL_LIBDIR} NAMELINK_SKIP)
  endif()
endforeach()

if(TARGET morvane)
  install(FILES ${PROJECT_SOURCE_DIR}/designer/help/index.html DESTINATION ${ORRA_INSTALL_HELPDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/designer/desktop/morvane.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The entry names the installed program by its full path: the prefix need not be on PATH.
  install(CODE "
    set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/morvane.desktop\")
    file(READ \"${PROJECT_SOURCE_DIR}/designer/desktop/morvane.desktop.in\" text)
    string(REPLACE \"@MORVANE@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/morvane\" text \"\${text}\")
    message(STATUS \"Installing: \${entry}\")
    file(WRITE \"\${entry}\" \"\${text}\")
  ")
endif()

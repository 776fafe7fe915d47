# The junk-file page's benchmark drives the real program through the e2e
# driver, like the registry page's (its target comes from the bench/*_winbench.cpp
# glob in win64.cmake).
if(TARGET junkpage_winbench)
  target_link_libraries(junkpage_winbench PRIVATE tw_e2e_driver)
  add_dependencies(junkpage_winbench tidewell)
endif()

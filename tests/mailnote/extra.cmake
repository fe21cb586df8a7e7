# The mailer tests link the mailer itself; the hook tests load the staged
# mailnote library.
foreach(name mailer smtp)
  if(TARGET test_mailnote_${name})
    target_link_libraries(test_mailnote_${name} PRIVATE orvan-mailer)
  endif()
endforeach()
if(TARGET test_mailnote_mailnote AND TARGET mailnote)
  add_dependencies(test_mailnote_mailnote mailnote)
  target_link_libraries(test_mailnote_mailnote PRIVATE orvan-mailer)
endif()

# Copies the help page into `folder`/help/, where a program in `folder` finds it.
function(plinth_copy_help_page folder)
  configure_file(${PROJECT_SOURCE_DIR}/docs/help/index.html ${folder}/help/index.html COPYONLY)
endfunction()

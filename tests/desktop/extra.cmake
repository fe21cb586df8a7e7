# The start-up's tests link the whole desktop.
orvan_link_folder_tests(desktop qtest orvan-desktop)

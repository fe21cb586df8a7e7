# The shared window parts' tests link only those parts: what they test knows
# no window, dialog or start-up code.
orvan_link_folder_tests(widgets qtest orvan-widgets)

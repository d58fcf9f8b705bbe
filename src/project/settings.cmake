#The settings file layer, kept in its own library so that it builds apart from the other
#project files; it reuses their atomic writer.
vistrel_add_library(vistrel_settings SOURCES ini_file.cpp color.cpp settings.cpp LINKS
                        vistrel_project vistrel_numeric)

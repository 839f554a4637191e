# The window, orvconverter. Included from app/CMakeLists.txt when ORV_GUI is on.
find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets Svg)
qt_standard_project_setup()
include(GNUInstallDirs)

# Everything but main(), so that the window tests link the same code.
add_library(orv_window STATIC
    accessibility.cpp
    app_icon.cpp
    click_label.cpp
    colours.cpp
    command_line.cpp
    conversion_runner.cpp
    dir_list.cpp
    directory_listing.cpp
    drive_list.cpp
    file_list.cpp
    form1.cpp
    picture.cpp
    shapes.cpp
    startup_probe.cpp
    window_services.cpp
)
target_link_libraries(orv_window PUBLIC orv_convert Qt6::Widgets PRIVATE Qt6::Svg)
# Where the installed help page lives; Help opens it when the working
# directory has no docs/help.htm. Public, so the tests know it too.
target_compile_definitions(orv_window PUBLIC
    ORV_INSTALLED_HELP="${CMAKE_INSTALL_FULL_DATADIR}/orv-converter/help.htm")
qt_add_resources(orv_window window_artwork
    PREFIX /
    FILES icons/orv-converter.svg
)

qt_add_executable(orvconverter main.cpp)
target_link_libraries(orvconverter PRIVATE orv_window)
target_compile_definitions(orvconverter PRIVATE ORV_VERSION="${PROJECT_VERSION}")

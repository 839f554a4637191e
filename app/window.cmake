# The window, orvconverter. Included from app/CMakeLists.txt when ORV_GUI is on.
find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets Svg)
qt_standard_project_setup()

# Everything but main(), so that the window tests link the same code.
add_library(orv_window STATIC
    app_icon.cpp
    click_label.cpp
    dir_list.cpp
    directory_listing.cpp
    drive_list.cpp
    file_list.cpp
    form1.cpp
    shapes.cpp
    startup_probe.cpp
    window_services.cpp
)
target_link_libraries(orv_window PUBLIC orv_command Qt6::Widgets PRIVATE Qt6::Svg)
qt_add_resources(orv_window window_artwork
    PREFIX /
    FILES icons/orv-converter.svg
)

qt_add_executable(orvconverter main.cpp)
target_link_libraries(orvconverter PRIVATE orv_window)

# The version information of the executable: the names the program shows come from here.
set(KEYHAVEN_PRODUCT_NAME "Keyhaven")
set(KEYHAVEN_COMPANY_NAME "Orrindale")
set(KEYHAVEN_COMMENTS "orrindale.example")
set(KEYHAVEN_HOME_PAGE "http://www.orrindale.example/")
set(KEYHAVEN_VERSION_MAJOR 1)
set(KEYHAVEN_VERSION_MINOR 0)

/* The body of a stand-in driver file; only its version resource matters. */
int tavo_driver_file_marker = 1;

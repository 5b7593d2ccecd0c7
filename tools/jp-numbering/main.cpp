// jp-numbering-table OUTPUT: compiles Japan's numbering out of the installed
// libphonenumber (metadata and offline geocoder) into C++ source for
// src/callers/JapanNumbering.cpp. Fails, naming the cause, on anything in the
// library's data that the table cannot say exactly.
#include "TableBuilder.h"
#include "TableWriter.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: jp-numbering-table OUTPUT\n";
        return 2;
    }
    const std::string output = argv[1];
    try {
        const telvane::jp::TNumberTable table = telvane::jp::BuildTable("JP", std::cout);
        std::ostringstream text;
        telvane::jp::WriteTable(table, text);
        const std::string partial = output + ".part";
        std::ofstream out(partial, std::ios::binary);
        out << text.str();
        out.close();
        if (!out || std::rename(partial.c_str(), output.c_str()) != 0) {
            std::cerr << "jp-numbering-table: cannot write " << output << '\n';
            return 1;
        }
    } catch (const std::exception& error) {
        std::cerr << "jp-numbering-table: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

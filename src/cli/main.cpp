// velmora-cli: command-line front end.
#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"Velmora USB-Programmer command line", "velmora-cli"};
  app.set_version_flag("--version", std::string("velmora-cli ") + VELMORA_VERSION);
  app.require_subcommand(1);
  CLI11_PARSE(app, argc, argv);
  return 0;
}

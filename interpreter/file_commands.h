// Handlers of the file, text, INI and XML commands, defined across
// interpreter/commands/{files,text_files,xml}.cpp and registered together as the
// family FileCommands().
#pragma once

namespace zev {

class Interpreter;

namespace file_commands {

void ReadFromTextFile(Interpreter& interpreter);
void WriteToTextFile(Interpreter& interpreter);
void GetIniFileSettings(Interpreter& interpreter);
void GetXmlFileSettings(Interpreter& interpreter);
void EvaluateXPathQuery(Interpreter& interpreter);
void EditXmlFile(Interpreter& interpreter);

}  // namespace file_commands

}  // namespace zev

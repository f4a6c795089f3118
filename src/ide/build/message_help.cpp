#include "build/message_help.h"

#include <QRegularExpression>
#include <iterator>

namespace krvs::ide {

namespace {

// Every message the assembler (TASM.Exe) and the linker (TLink.Exe) can print, by its fixed
// beginning. A test reads the tools' sources and fails on a message that has no entry here.
const MessageHelp kTable[] = {
    // Assembler: symbols and names.
    {"Undefined symbol:", "用到的名字没有定义。检查拼写（包括变量名、标号名），确认它已用DB/DW、标号或EQU定义；段名要与SEGMENT一致。"},
    {"Symbol already defined elsewhere:", "同一个名字定义了两次。把其中一个改名，或删掉重复的定义。"},
    {"Symbol already different kind:", "这个名字已经作为另一类符号（如段名、过程名、变量名）用过。换一个名字。"},
    {"Reserved word used as symbol:", "把指令、寄存器或伪指令的名字当作了变量名或标号。换一个不是保留字的名字。"},
    {"Circular definition:", "EQU或=定义的符号直接或间接引用了自己。改写定义，使它不依赖自身。"},
    {"Need name", "这条伪指令前面或后面需要一个名字，例如“名字 PROC”“名字 SEGMENT”。补上名字。"},
    {"Need structure member name", "结构变量后的“.”后面需要写成员名。检查结构定义中的成员名。"},
    {"Record field expected", "这里需要RECORD的字段名。检查字段名的拼写。"},
    // Assembler: segments, procedures, structure.
    {"Unmatched ENDS:", "ENDS前的段名与正在定义的段不一致，或者没有对应的SEGMENT。让SEGMENT和ENDS前的段名相同、成对出现。"},
    {"Unmatched ENDP:", "ENDP前的过程名与PROC不一致，或者没有对应的PROC。让PROC和ENDP前的名字相同、成对出现。"},
    {"Open segment:", "段没有结束：缺少“段名 ENDS”。在段的末尾、END之前补上ENDS。"},
    {"Open procedure:", "过程没有结束：缺少“过程名 ENDP”。在过程的末尾补上ENDP。"},
    {"Open structure definition:", "结构定义没有结束：缺少“名字 ENDS”。补上结构的ENDS。"},
    {"Open conditional", "IF…ENDIF没有配对：缺少ENDIF。补上ENDIF。"},
    {"Unmatched ELSE", "ELSE前面没有对应的IF。检查条件汇编的配对。"},
    {"Unmatched ENDIF", "ENDIF前面没有对应的IF。删掉多余的ENDIF或补上IF。"},
    {"Unmatched ENDM", "ENDM前面没有对应的MACRO、REPT或IRP。检查宏定义的配对。"},
    {"Code or data emission to undeclared segment", "指令或数据写在了任何段之外。先用“名字 SEGMENT”（或.CODE/.DATA）开始一个段，再写指令和数据。"},
    {"Can't address with currently ASSUMEd segment registers", "没有段寄存器指向这个变量所在的段。在ASSUME中写上DS:数据段名，并在程序开头用MOV AX,数据段名 / MOV DS,AX装入DS。"},
    {"Illegal segment address", "段地址的写法不对，或在不能用段的地方用了段名。检查SEG、段名和ASSUME的写法。"},
    {"Near jump or call to different CS", "近跳转或近调用的目标在另一个代码段里。把目标放进同一个段，或使用FAR PTR / 远过程。"},
    {"Model must be specified first", "使用.CODE、.DATA、.STACK等简化段之前要先写.MODEL（如 .MODEL SMALL）。"},
    {"Illegal memory model", ".MODEL后的内存模式不认识。可用TINY、SMALL、MEDIUM、COMPACT、LARGE、HUGE。"},
    {"Nested structures are not supported", "结构定义里不能再定义结构。把内层结构单独定义，再在外层中用它定义成员。"},
    {"Illegal use of label in structure", "结构定义里不能写标号。删掉结构内的标号。"},
    {"Need angle brackets for structure fill", "结构变量的初值要写在尖括号<>里，例如“变量 结构名 <1,2>”。"},
    {"Record too large", "RECORD的各字段宽度之和超过16位。减少字段宽度。"},
    {"Location counter overflow", "段的内容超过了64K（或ORG设得太大）。缩小数据，或把程序分成几个段。"},
    // Assembler: expressions and operands.
    {"Need expression", "这里缺少操作数或表达式。检查逗号前后是否漏写了内容。"},
    {"Illegal expression", "表达式的写法不对。检查括号、运算符和操作数的顺序。"},
    {"Expression too complex", "表达式嵌套太深。把它拆成几步，或用EQU先定义中间结果。"},
    {"Constant expected", "这里只能写常数（数字或EQU常量），不能用变量或寄存器。"},
    {"Constant too large", "常数超出了操作数能放下的范围（字节0-255，字0-65535），例如把大于255的数送给8位寄存器。换用16位寄存器或改小常数。"},
    {"Value out of range", "数值超出允许的范围。检查DB（0-255）、DW的初值，以及移位次数、端口号等是否太大。"},
    {"Division by zero", "表达式里除以零。检查除数（常量）的值。"},
    {"Illegal number", "数字的写法不对：十六进制要以H结尾且以数字开头（如0FFH），二进制以B结尾，不能含多余字母。"},
    {"Illegal immediate", "这条指令不能用立即数作这个操作数（例如MOV DS,1234H、PUSH 立即数在8086上）。先把数送到通用寄存器再用。"},
    {"Illegal memory reference", "这里不能用内存操作数，或两个操作数都是内存。先把一个操作数送到寄存器。"},
    {"Illegal indexing mode", "寻址方式不合法。8086只能用BX、BP作基址，SI、DI作变址，例如[BX+SI]，不能写[AX]、[BX+BP]、[SI+DI]。"},
    {"Illegal use of register", "这里不能用寄存器，或寄存器用法不对（如在表达式中对寄存器做运算）。检查操作数。"},
    {"Illegal use of segment register", "段寄存器不能这样用：不能直接送立即数（MOV DS,1234H），不能在两个段寄存器之间直接传送，不能做算术运算。先经过AX等通用寄存器。"},
    {"Illegal use of constant", "这里不能用常数，例如把常数当作目的操作数。检查操作数的顺序。"},
    {"Illegal use of ?", "“?”只能用在DB/DW等数据定义里表示不赋初值。"},
    {"Illegal use of macro:", "宏名用在了不能用的地方（例如当作操作数）。宏要作为一行的指令来调用。"},
    {"Need register in expression", "这里需要一个寄存器。检查操作数。"},
    {"Register must be AL or AX", "IN/OUT等指令的数据寄存器只能是AL或AX。改用AL或AX。"},
    {"Register must be DX", "端口号大于255时必须放在DX里：先MOV DX,端口号，再IN AL,DX 或 OUT DX,AL。"},
    {"Rotate count must be constant or CL", "移位/循环移位的次数只能是1或CL（8086）。先MOV CL,次数，再写SHL AX,CL。"},
    {"Rotate count out of range", "移位次数太大。8086上立即数只能写1，其它次数请放在CL中。"},
    {"Operand types do not match", "两个操作数的大小不同，例如MOV AX,BL 或 MOV AL,字变量。让两边同为字节或同为字，必要时用BYTE PTR / WORD PTR。"},
    {"Argument needs type override", "无法判断操作数是字节还是字，例如MOV [BX],1。写成MOV BYTE PTR [BX],1 或 WORD PTR。"},
    {"Need type", "这里需要类型（BYTE、WORD、DWORD、NEAR、FAR等）。检查PTR、LABEL等的写法。"},
    {"Need colon", "这里缺少冒号，例如段超越前缀要写成ES:[DI]，标号定义要写成“标号:”。"},
    {"Need comma", "操作数之间缺少逗号。"},
    {"Need left parenthesis", "缺少左圆括号“(”，例如DUP后面要写括号：10 DUP(0)。"},
    {"Need right parenthesis", "缺少右圆括号“)”。检查括号是否配对。"},
    {"Need left square bracket", "缺少左方括号“[”。检查内存操作数的写法。"},
    {"Need right square bracket", "缺少右方括号“]”。检查内存操作数的写法。"},
    {"Can't add relocatable quantities", "不能把两个地址（标号或变量）相加。地址只能加减常数，或两个同段地址相减。"},
    {"Can't subtract dissimilar relocatable quantities", "两个不同段里的地址不能相减。只有同一段中的两个地址可以相减。"},
    {"Missing end quote", "字符串缺少结束的引号。补上与开头相同的引号（'或\"）。"},
    {"Extra characters on line", "这一行在指令结束后还有多余的内容。检查是否多写了操作数，或注释前漏了分号“;”。"},
    {"Pass-dependent construction encountered", "程序的某处在不同遍汇编中结果不同（通常是向前引用的符号影响了指令长度）。把被引用的定义移到使用之前。"},
    // Assembler: instructions.
    {"Illegal instruction for currently selected processor(s)", "这条指令或写法不属于当前选择的处理器（默认8086）。在程序开头写.186或.286，或改用8086指令。"},
    {"Illegal instruction", "指令名不认识。检查拼写；标号后面要加冒号；宏要先定义后使用。"},
    {"Illegal use of register or operand", "这条指令没有这种操作数组合。查一下该指令允许的操作数形式，例如MUL不能用立即数、MOV不能在两个内存之间传送。"},
    {"Relative jump out of range by", "条件转移或LOOP只能跳到前后128字节以内，目标太远。改成反条件跳过一条JMP：例如把JZ 远标号 改成 JNZ 下一句 / JMP 远标号。"},
    {"Processor not supported:", "这个处理器伪指令不被支持。可用.8086、.186、.286。"},
    // Assembler: macros, conditionals, files.
    {"Missing macro argument", "调用宏时少给了参数。按宏定义的参数个数给出参数。"},
    {"Duplicate dummy argument:", "宏定义中两个形式参数同名。给它们不同的名字。"},
    {"LOCAL outside a macro", "LOCAL只能写在宏定义内部。删掉它，或把这段代码放进宏里。"},
    {"EXITM outside a macro", "EXITM只能写在宏定义内部。"},
    {"Macro expansion too deep", "宏调用嵌套太深，通常是宏直接或间接调用了自己。检查宏的递归。"},
    {"Text macro expansion too deep", "文本宏（EQU定义的文本）展开嵌套太深，通常是它引用了自己。"},
    {"Too many nested includes", "INCLUDE嵌套太深，通常是文件包含了自己。检查INCLUDE的文件。"},
    {"Too many lines in repeat block", "REPT/IRP等重复块展开后的行数太多。减少重复次数。"},
    {"Too many lines", "展开后的源程序行数太多，通常是宏或重复块无限展开。检查宏和REPT。"},
    {"Can't locate file:", "INCLUDE的文件找不到。检查文件名，并把文件放在源程序所在的目录中。"},
    {"Can't find @file", "命令行中@后面的响应文件找不到。"},
    {"Unexpected end of file encountered", "文件结束时还缺少END。在程序最后一行写“END 启动标号”。"},
    {"User error", "程序中的.ERR类伪指令被触发，这是源程序有意报告的错误。查看该行的条件。"},
    {"Brackets ignored:", "这里的方括号没有作用，被忽略。去掉方括号即可。"},
    // Assembler: command line and options (TASM.CFG).
    {"Bad switch: /", "汇编参数中有不认识的选项。在“设置/环境设置”中检查TASM参数。"},
    {"Invalid number after /m", "/m选项后面的数字不对。在“设置/环境设置”中检查TASM参数。"},
    {"Invalid command line", "汇编器的命令行不正确。在“设置/环境设置”中检查TASM参数。"},
    {"Need file name", "没有给出要汇编的源文件名。先保存源程序再编译。"},
    // Linker.
    {"Undefined symbol", "链接时找不到这个符号的定义：它被声明为EXTRN，或只在别的模块中定义。检查拼写，或在本程序中定义它。"},
    {"No program starting address defined", "程序没有指定入口。在最后一行写“END 启动标号”，例如END START。"},
    {"No stack", "程序没有定义堆栈段。这对.EXE程序只是警告；需要时可定义“STACK SEGMENT STACK”或使用.STACK。"},
    {"Debug info switch ignored for COM files", ".COM程序不带调试信息，/v被忽略。这只是提示，不影响运行。"},
    {"Cannot generate COM file : stack segment present", ".COM程序不能有堆栈段。删掉STACK段，或改为生成.EXE（在设置中取消.COM方式）。"},
    {"Cannot generate COM file : segment-relocatable items present", ".COM程序里不能出现段地址，例如MOV AX,DATA。.COM程序只有一个段，不需要装入DS；或改为生成.EXE。"},
    {"Cannot generate COM file : invalid initial entry point address", ".COM程序必须从偏移100H开始：在第一条指令前写ORG 100H，并在END后写启动标号。"},
    {"Cannot generate COM file : data below initial CS:IP defined", ".COM程序在100H之前不能有代码或数据。把ORG 100H放在所有代码和数据之前。"},
    {"Cannot generate COM file : program exceeds 64K", ".COM程序不能超过64K。缩小程序或改为生成.EXE。"},
    {"Cannot generate COM file :", "这个程序不能做成.COM文件。改为生成.EXE（在设置中取消.COM方式），或按.COM的要求改写程序。"},
    {"Fixup overflow at program entry point, target =", "入口地址的引用超出范围。检查END后的启动标号是否在代码段中。"},
    {"Fixup overflow at", "地址引用超出了范围，通常是近跳转或近调用的目标在另一个段，或变量不在ASSUME指定的段中。检查段的安排和ASSUME。"},
    {"Segment", "一个段超过了64K。把数据或代码分到几个段中。"},
    {"Group", "一个段组（如DGROUP）的总大小超过了64K。减少数据，或不要把这些段放进同一组。"},
    {"Program exceeds 1 MB", "程序太大，超过了1MB的地址空间。检查是否定义了过大的数组（DUP次数）。"},
    {"Relocation table overflow", "程序中段地址引用太多，重定位表放不下。减少对段地址的引用。"},
    {"Bad object file", "目标文件损坏或不是本汇编器生成的。重新编译（Ctrl+F9）后再生成。"},
    {"Unable to open file '", "找不到要打开的文件，通常是还没有编译生成.OBJ。先编译再生成；检查文件名和目录。"},
    {"Unable to create file '", "无法写入输出文件：可能目录不可写、磁盘已满，或文件正被占用。关闭正在运行的程序后重试。"},
    {"Library files are not supported:", "不支持.LIB库文件。把需要的代码放进源程序中。"},
    {"No object files specified", "没有给出要链接的目标文件。先编译再生成。"},
    {"Unknown option", "链接参数中有不认识的选项。在“设置/环境设置”中检查TLink参数。"},
    {"Response files nested too deeply", "响应文件嵌套太深，通常是它引用了自己。"},
};

// The message without what the build driver and the tools put in front of it.
QString bareMessage(const QString& text) {
  static const QRegularExpression kListPrefix(QStringLiteral("^(错误|警告):第\\d+行\\s*"));
  static const QRegularExpression kToolPrefix(QStringLiteral("^(Warning|Error|Fatal): |^\\*+(Warning|Error|Fatal)\\*+ \\S*\\(\\d+\\) "));
  QString message = text.trimmed();
  message.remove(kListPrefix);
  message.remove(kToolPrefix);
  return message.trimmed();
}

}  // namespace

const MessageHelp* FindMessageHelp(const QString& text) {
  QString message = bareMessage(text);
  const MessageHelp* best = nullptr;
  int bestLength = 0;
  for (const MessageHelp& entry : kTable) {
    QString key = QString::fromUtf8(entry.message);
    if (key.size() > bestLength && message.startsWith(key)) {
      best = &entry;
      bestLength = static_cast<int>(key.size());
    }
  }
  return best;
}

QString ExplainMessage(const QString& text) {
  const MessageHelp* entry = FindMessageHelp(text);
  return entry ? QString::fromUtf8(entry->help) : QString();
}

const MessageHelp* MessageHelpTable(int* count) {
  *count = static_cast<int>(std::size(kTable));
  return kTable;
}

}  // namespace krvs::ide

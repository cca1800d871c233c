<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>主窗口</translation>
    </message>
</context>
<context>
    <name>MaintenanceText</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 字节</translation>
    </message>
    <message>
        <source>... and %1 more not copied</source>
        <translation>……另有 %1 项未复制</translation>
    </message>
    <message>
        <source>... and %1 more not restored</source>
        <translation>……另有 %1 项未恢复</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>……另有 %1 项</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>Please insert U disk!</source>
        <translation>请插入U盘！</translation>
    </message>
    <message>
        <source>%1 on the U disk is not a folder (a link?).
Nothing was written.</source>
        <translation>U盘上的 %1 不是文件夹（是链接？）。
未写入任何内容。</translation>
    </message>
    <message>
        <source>%1 on the U disk is another file system.
Nothing was written.</source>
        <translation>U盘上的 %1 属于另一个文件系统。
未写入任何内容。</translation>
    </message>
    <message>
        <source>Cannot write to the U disk: %1</source>
        <translation>无法写入U盘：%1</translation>
    </message>
    <message>
        <source>Not enough space on U disk: the backup needs %1, %2 free.</source>
        <translation>U盘空间不足：备份需要 %1，可用 %2。</translation>
    </message>
    <message>
        <source>The U disk was removed during the backup.</source>
        <translation>备份过程中U盘被拔出。</translation>
    </message>
    <message>
        <source>The new backup could not replace the previous one: %1</source>
        <translation>新备份无法替换原有备份：%1</translation>
    </message>
    <message>
        <source>Not copied: %1 (%2)</source>
        <translation>未复制：%1（%2）</translation>
    </message>
    <message>
        <source>Writing stopped at %1: %2</source>
        <translation>写入在 %1 处中止：%2</translation>
    </message>
    <message>
        <source>Dump of %1 is not complete</source>
        <translation>%1 的转储不完整</translation>
    </message>
    <message>
        <source>Database %1 not dropped: %2</source>
        <translation>数据库 %1 未删除：%2</translation>
    </message>
    <message>
        <source>Folder %1 still there</source>
        <translation>文件夹 %1 仍然存在</translation>
    </message>
    <message>
        <source>Folder %1 still there: %2</source>
        <translation>文件夹 %1 仍然存在：%2</translation>
    </message>
    <message>
        <source>Data not written to disk (sync): %1</source>
        <translation>数据未写入磁盘（sync）：%1</translation>
    </message>
    <message>
        <source>socket</source>
        <translation>套接字</translation>
    </message>
    <message>
        <source>block device</source>
        <translation>块设备</translation>
    </message>
    <message>
        <source>character device</source>
        <translation>字符设备</translation>
    </message>
    <message>
        <source>Not restored: %1 (%2)</source>
        <translation>未恢复：%1（%2）</translation>
    </message>
    <message>
        <source>The previous backup on the U disk was left as it was.</source>
        <translation>U盘上原有的备份保持不变。</translation>
    </message>
    <message>
        <source>No backup was written to the U disk.</source>
        <translation>未向U盘写入备份。</translation>
    </message>
    <message>
        <source>The backup on the U disk may not be complete: run Backup again.</source>
        <translation>U盘上的备份可能不完整：请重新备份。</translation>
    </message>
    <message>
        <source>Backup Ok</source>
        <translation>备份完成</translation>
    </message>
    <message>
        <source>%1 files, %2</source>
        <translation>%1 个文件，%2</translation>
    </message>
    <message>
        <source>Checking the backup</source>
        <translation>正在检查备份</translation>
    </message>
    <message>
        <source>Restoring %1</source>
        <translation>正在恢复 %1</translation>
    </message>
    <message>
        <source>Loading %1</source>
        <translation>正在导入 %1</translation>
    </message>
    <message>
        <source>Copying %1</source>
        <translation>正在复制 %1</translation>
    </message>
    <message>
        <source>Writing the dump of %1</source>
        <translation>正在写入 %1 的转储</translation>
    </message>
    <message>
        <source>Deleting</source>
        <translation>正在删除</translation>
    </message>
    <message>
        <source>Deleting %1</source>
        <translation>正在删除 %1</translation>
    </message>
    <message>
        <source>Writing to disk</source>
        <translation>正在写入磁盘</translation>
    </message>
    <message>
        <source>About %1 min left</source>
        <translation>大约还需 %1 分钟</translation>
    </message>
    <message>
        <source>About %1 s left</source>
        <translation>大约还需 %1 秒</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 分钟</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>exit status %1</source>
        <translation>退出状态 %1</translation>
    </message>
    <message>
        <source>ended by signal %1 (%2)</source>
        <translation>被信号 %1（%2）终止</translation>
    </message>
    <message>
        <source>stopped after its time limit of %1</source>
        <translation>超过时限 %1，已被停止</translation>
    </message>
    <message>
        <source>ended without an exit status</source>
        <translation>结束时没有退出状态</translation>
    </message>
    <message>
        <source>stopped before it had read all of its input</source>
        <translation>在读完全部输入之前已被停止</translation>
    </message>
    <message>
        <source>could not be started: %1</source>
        <translation>无法启动：%1</translation>
    </message>
    <message>
        <source>no shell</source>
        <translation>没有可用的 shell</translation>
    </message>
    <message>
        <source>no folder given</source>
        <translation>未指定文件夹</translation>
    </message>
    <message>
        <source>%1 is not an absolute path</source>
        <translation>%1 不是绝对路径</translation>
    </message>
    <message>
        <source>%1 holds a control character</source>
        <translation>%1 含有控制字符</translation>
    </message>
    <message>
        <source>%1 is not a clean path</source>
        <translation>%1 不是规范的路径</translation>
    </message>
    <message>
        <source>%1 cannot be resolved</source>
        <translation>无法解析 %1</translation>
    </message>
    <message>
        <source>%1 is the root folder</source>
        <translation>%1 是根目录</translation>
    </message>
    <message>
        <source>the system root %1 is not usable</source>
        <translation>系统根目录 %1 不可用</translation>
    </message>
    <message>
        <source>%1 is not inside the system root %2</source>
        <translation>%1 不在系统根目录 %2 之内</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>a NUL byte, which mysqldump never writes</source>
        <translation>含有 NUL 字节（mysqldump 不会写出）</translation>
    </message>
    <message>
        <source>a line longer than %1 bytes</source>
        <translation>有一行超过 %1 字节</translation>
    </message>
    <message>
        <source>the dump is empty</source>
        <translation>转储文件为空</translation>
    </message>
    <message>
        <source>the dump ends inside a quoted text</source>
        <translation>转储文件在引号内的文本中结束</translation>
    </message>
    <message>
        <source>the dump ends inside a comment</source>
        <translation>转储文件在注释中结束</translation>
    </message>
    <message>
        <source>the dump ends inside a statement</source>
        <translation>转储文件在语句中途结束</translation>
    </message>
    <message>
        <source>the dump is incomplete: it does not end with &quot;-- Dump completed&quot;</source>
        <translation>转储文件不完整：结尾没有“-- Dump completed”</translation>
    </message>
    <message>
        <source>the dump holds no statements</source>
        <translation>转储文件中没有语句</translation>
    </message>
    <message>
        <source>not a dump written by mysqldump: its header is missing</source>
        <translation>不是 mysqldump 写出的转储文件：缺少文件头</translation>
    </message>
    <message>
        <source>a backslash at the end of a line in a text</source>
        <translation>文本中的行末有反斜杠</translation>
    </message>
    <message>
        <source>the mysql client command \%1</source>
        <translation>mysql 客户端命令 \%1</translation>
    </message>
    <message>
        <source>a statement longer than %1 bytes</source>
        <translation>有一条语句超过 %1 字节</translation>
    </message>
    <message>
        <source>the mysql client command %1</source>
        <translation>mysql 客户端命令 %1</translation>
    </message>
    <message>
        <source>a delimiter that mysqldump never writes: %1</source>
        <translation>mysqldump 不会写出的分隔符：%1</translation>
    </message>
    <message>
        <source>an executable comment inside another</source>
        <translation>可执行注释嵌套在另一个之中</translation>
    </message>
    <message>
        <source>a comment inside an executable comment</source>
        <translation>可执行注释中含有注释</translation>
    </message>
    <message>
        <source>a comment that does not end</source>
        <translation>注释没有结束</translation>
    </message>
    <message>
        <source>a quoted text that does not end</source>
        <translation>引号内的文本没有结束</translation>
    </message>
    <message>
        <source>an executable comment that does not end</source>
        <translation>可执行注释没有结束</translation>
    </message>
    <message>
        <source>a name in the database %1, which is not this dump&apos;s</source>
        <translation>引用了数据库 %1 中的名称，而该库不属于此转储</translation>
    </message>
    <message>
        <source>a global server setting</source>
        <translation>服务器全局设置</translation>
    </message>
    <message>
        <source>%1, which a dump never holds</source>
        <translation>%1（转储文件中不应出现）</translation>
    </message>
    <message>
        <source>%1 %2, which a dump of one database never holds</source>
        <translation>%1 %2（单个数据库的转储中不应出现）</translation>
    </message>
    <message>
        <source>SET %1, which a dump never holds</source>
        <translation>SET %1（转储文件中不应出现）</translation>
    </message>
    <message>
        <source>replication commands</source>
        <translation>复制（replication）命令</translation>
    </message>
    <message>
        <source>%1 DIRECTORY, which puts files outside the server</source>
        <translation>%1 DIRECTORY（会把文件放到服务器之外）</translation>
    </message>
    <message>
        <source>the storage engine %1</source>
        <translation>存储引擎 %1</translation>
    </message>
    <message>
        <source>a statement that mysqldump does not write: %1</source>
        <translation>mysqldump 不会写出的语句：%1</translation>
    </message>
    <message>
        <source>SET without a value</source>
        <translation>SET 没有值</translation>
    </message>
    <message>
        <source>%1 set by a number</source>
        <translation>%1 以数字设置</translation>
    </message>
    <message>
        <source>SET with an expression</source>
        <translation>SET 使用了表达式</translation>
    </message>
    <message>
        <source>the SQL mode %1</source>
        <translation>SQL 模式 %1</translation>
    </message>
    <message>
        <source>the character set %1</source>
        <translation>字符集 %1</translation>
    </message>
    <message>
        <source>SET of %1, which mysqldump does not write</source>
        <translation>SET %1（mysqldump 不会写出）</translation>
    </message>
    <message>
        <source>CREATE %1, which mysqldump does not write</source>
        <translation>CREATE %1（mysqldump 不会写出）</translation>
    </message>
    <message>
        <source>ALTER DATABASE %1, which is not this dump&apos;s</source>
        <translation>ALTER DATABASE %1（该库不属于此转储）</translation>
    </message>
    <message>
        <source>an ALTER DATABASE that mysqldump does not write</source>
        <translation>mysqldump 不会写出的 ALTER DATABASE</translation>
    </message>
    <message>
        <source>a -- without a blank after it</source>
        <translation>“--”后面没有空白</translation>
    </message>
    <message>
        <source>the control byte 0x%1 outside a text</source>
        <translation>文本之外有控制字节 0x%1</translation>
    </message>
    <message>
        <source>a statement of more than %1 words</source>
        <translation>有一条语句超过 %1 个词</translation>
    </message>
    <message>
        <source>the saved setting @%1 outside its SET</source>
        <translation>保存的设置 @%1 出现在其 SET 之外</translation>
    </message>
    <message>
        <source>%1 set to %2, which mysqldump does not write</source>
        <translation>%1 被设为 %2，mysqldump 不会写出这样的值</translation>
    </message>
    <message>
        <source>a SET value with a backslash</source>
        <translation>SET 的值中含有反斜杠</translation>
    </message>
    <message>
        <source>SET of @%1, which mysqldump does not write</source>
        <translation>设置 @%1，mysqldump 不会写出这样的语句</translation>
    </message>
    <message>
        <source>%1 is not a U disk: it is the file system of %2 on the device.
Nothing was written.</source>
        <translation>%1 不是U盘：它是设备上 %2 所在的文件系统。
未写入任何内容。</translation>
    </message>
    <message>
        <source>%1 is not a U disk: it lies inside %2 on the device.
Nothing was written.</source>
        <translation>%1 不是U盘：它位于设备的 %2 之内。
未写入任何内容。</translation>
    </message>
    <message>
        <source>The previous backup was deleted to make room: the U disk holds no backup now.</source>
        <translation>为腾出空间，原有的备份已被删除：U盘上现在没有备份。</translation>
    </message>
    <message>
        <source>Nothing was deleted.</source>
        <translation>未删除任何内容。</translation>
    </message>
    <message>
        <source>Deleted: %1.</source>
        <translation>已删除：%1。</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>Not deleted: %1.</source>
        <translation>未删除：%1。</translation>
    </message>
    <message>
        <source>The lock %1 cannot be made: %2
Nothing was changed.</source>
        <translation>无法创建锁文件 %1：%2
未做任何改动。</translation>
    </message>
    <message>
        <source>Another Backup, Restore or Clear Data is running on this device. Try again when it has finished.</source>
        <translation>本设备上正在进行另一项备份、恢复或清除数据操作。请在它结束后再试。</translation>
    </message>
    <message>
        <source>%1 is running on this device (process %2). Try again when it has finished.</source>
        <translation>本设备上正在进行%1（进程 %2）。请在它结束后再试。</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>恢复</translation>
    </message>
    <message>
        <source>Clear Data</source>
        <translation>清除数据</translation>
    </message>
    <message>
        <source>a link</source>
        <translation>链接</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <source>a FIFO</source>
        <translation>FIFO 管道</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>套接字</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>设备文件</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>The last restore did not finish. Run Restore first: it puts /opt and the databases appdb and Misc right.</source>
        <translation>上次恢复没有完成。请先运行恢复：它会修复 /opt 以及数据库 appdb 和 Misc。</translation>
    </message>
    <message>
        <source>The record of the restore (%1) cannot be used: %2</source>
        <translation>恢复记录（%1）无法使用：%2</translation>
    </message>
    <message>
        <source>No complete backup on U disk!</source>
        <translation>U盘上没有完整的备份！</translation>
    </message>
    <message>
        <source>%1 on the U disk is not a folder (a link?).</source>
        <translation>U盘上的 %1 不是文件夹（是链接？）。</translation>
    </message>
    <message>
        <source>%1 on the U disk is another file system.</source>
        <translation>U盘上的 %1 属于另一个文件系统。</translation>
    </message>
    <message>
        <source>The list of the backup (%1) cannot be used: %2</source>
        <translation>备份清单（%1）无法使用：%2</translation>
    </message>
    <message>
        <source>Missing on the U disk: %1</source>
        <translation>U盘上缺少：%1</translation>
    </message>
    <message>
        <source>Damaged on the U disk: %1</source>
        <translation>U盘上已损坏：%1</translation>
    </message>
    <message>
        <source>Cannot be read on the U disk: %1 (%2)</source>
        <translation>U盘上无法读取：%1（%2）</translation>
    </message>
    <message>
        <source>Another file system on the U disk: %1</source>
        <translation>U盘上属于另一个文件系统：%1</translation>
    </message>
    <message>
        <source>Leads outside the backup: %1</source>
        <translation>指向备份之外：%1</translation>
    </message>
    <message>
        <source>The U disk was changed after it was checked.</source>
        <translation>U盘在检查之后被改动过。</translation>
    </message>
    <message>
        <source>The U disk was removed during the restore.</source>
        <translation>恢复过程中U盘被拔出。</translation>
    </message>
    <message>
        <source>The folder %1 cannot be made on the device</source>
        <translation>无法在设备上创建文件夹 %1</translation>
    </message>
    <message>
        <source>The folder %1 cannot be written: %2</source>
        <translation>无法写入文件夹 %1：%2</translation>
    </message>
    <message>
        <source>%1 cannot be replaced: %2 (%3)</source>
        <translation>无法替换 %1：%2（%3）</translation>
    </message>
    <message>
        <source>Left behind: %1 (%2)</source>
        <translation>未能删除：%1（%2）</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1 is %2, not a file</source>
        <translation>%1 是%2，不是文件</translation>
    </message>
    <message>
        <source>%1 changed while it was opened</source>
        <translation>%1 在打开时发生了变化</translation>
    </message>
    <message>
        <source>%1 refused: %2</source>
        <translation>%1 被拒绝：%2</translation>
    </message>
    <message>
        <source>%1 changed on the U disk after it was checked</source>
        <translation>%1 在检查之后在U盘上被改动过</translation>
    </message>
    <message>
        <source>%1 does not load</source>
        <translation>%1 无法导入</translation>
    </message>
    <message>
        <source>The database server cannot be reached</source>
        <translation>无法连接数据库服务器</translation>
    </message>
    <message>
        <source>The database account for the restore cannot be set up: %1</source>
        <translation>无法设置用于恢复的数据库账户：%1</translation>
    </message>
    <message>
        <source>The scratch database %1 cannot be made</source>
        <translation>无法创建临时数据库 %1</translation>
    </message>
    <message>
        <source>The database %1 holds a name the restore cannot handle: %2</source>
        <translation>数据库 %1 含有恢复无法处理的名称：%2</translation>
    </message>
    <message>
        <source>The data of %1 cannot be saved on the device first</source>
        <translation>无法先在设备上保存 %1 的数据</translation>
    </message>
    <message>
        <source>%1 cannot be replaced</source>
        <translation>无法替换 %1</translation>
    </message>
    <message>
        <source>%1 has its previous data back</source>
        <translation>%1 已恢复为原来的数据</translation>
    </message>
    <message>
        <source>%1 is gone again, as before</source>
        <translation>%1 已再次删除，与之前相同</translation>
    </message>
    <message>
        <source>The previous data of %1 cannot be put back</source>
        <translation>无法恢复 %1 原来的数据</translation>
    </message>
    <message>
        <source>/opt and the databases were restored, but writing them to disk failed (sync): %1</source>
        <translation>/opt 和数据库已恢复，但写入磁盘失败（sync）：%1</translation>
    </message>
    <message>
        <source>Nothing on the device was changed.</source>
        <translation>设备上没有任何改动。</translation>
    </message>
    <message>
        <source>/opt and the databases appdb and Misc were left as they were.</source>
        <translation>/opt 以及数据库 appdb 和 Misc 保持不变。</translation>
    </message>
    <message>
        <source>The restore did not finish: run Restore again to put it right.</source>
        <translation>恢复没有完成：请再次运行恢复以修复。</translation>
    </message>
    <message>
        <source>Restore Ok</source>
        <translation>恢复完成</translation>
    </message>
    <message>
        <source>The last restore did not finish. It is finished now: /opt and the databases appdb and Misc hold the backup it restored.</source>
        <translation>上次恢复没有完成。现已完成：/opt 以及数据库 appdb 和 Misc 为其恢复的备份。</translation>
    </message>
    <message>
        <source>The last restore did not finish. It is undone now: /opt and the databases appdb and Misc are as they were before it.</source>
        <translation>上次恢复没有完成。现已撤销：/opt 以及数据库 appdb 和 Misc 与恢复之前相同。</translation>
    </message>
    <message>
        <source>The last restore did not finish, and it cannot be put right now:</source>
        <translation>上次恢复没有完成，目前无法修复：</translation>
    </message>
    <message>
        <source>Run Restore again.</source>
        <translation>请再次运行恢复。</translation>
    </message>
</context>
<context>
    <name>MyProgressDialog</name>
    <message>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>文本标签</translation>
    </message>
</context>
<context>
    <name>NumericKeypad</name>
    <message>
        <source>Keypad</source>
        <translation>数字键盘</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>退格</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>PrinterText</name>
    <message>
        <source>Start Position</source>
        <translation>起始位置</translation>
    </message>
    <message>
        <source>Heating Level</source>
        <translation>加热等级</translation>
    </message>
    <message>
        <source>Speed Level</source>
        <translation>速度等级</translation>
    </message>
    <message>
        <source>Roll Back Distance</source>
        <translation>回退距离</translation>
    </message>
    <message>
        <source>Extra Feed</source>
        <translation>额外走纸</translation>
    </message>
    <message>
        <source>Paramter Name: Start Position
Range: [0-400], 100 = 6mm
Explanation: Start position to the top of the label.
Default: 0
Caution: Please input a reasonable value for small labels.</source>
        <translation>参数名称：起始位置
范围：[0-400]，100 = 6mm
说明：打印起始位置与标签顶端的距离。
默认值：0
注意：小标签请输入合理的数值。</translation>
    </message>
    <message>
        <source>Parameter Name: Heating Level
Range: [1-8]
Explanation: Printer&apos;s heating level. Increase as level increase.
Default: 2</source>
        <translation>参数名称：加热等级
范围：[1-8]
说明：打印机的加热等级，等级越高加热越强。
默认值：2</translation>
    </message>
    <message>
        <source>Parameter Name: Printing Speed
Range: [1-8]
Explanation: Printing speed. Increase as level increases.
Default: 2</source>
        <translation>参数名称：打印速度
范围：[1-8]
说明：打印速度，等级越高速度越快。
默认值：2</translation>
    </message>
    <message>
        <source>Parameter Name: Pull Back Distance
Range: [1-40] 100 = 6mm
Explanation: Paper will be pulled back a certain distance before printing.It will automatically feed extra distance of 60.
Default: 0</source>
        <translation>参数名称：回退距离
范围：[1-40]，100 = 6mm
说明：打印前纸张先回退一段距离，并自动额外走纸 60。
默认值：0</translation>
    </message>
    <message>
        <source>Parameter Name: Extra Feed Distance
Range: [0-255] 100=6mm
Explanation: Extra feed length after printing.
Default: 0</source>
        <translation>参数名称：额外走纸距离
范围：[0-255]，100 = 6mm
说明：打印后额外走纸的长度。
默认值：0</translation>
    </message>
    <message>
        <source>Name: Right printing section setting
Values:【0-3】.
Explanation：Extra heating interation for this section.
Default：0
Note：
1:Only use this function when the printer quality is very bad.2：It is very unlikely to use any value above 1.</source>
        <translation>名称：右侧打印区设置
取值：【0-3】
说明：该区域的额外加热次数。
默认值：0
注意：
1：仅在打印质量很差时使用此功能。
2：一般不会用到大于 1 的值。</translation>
    </message>
    <message>
        <source>Name: Center printing section setting
Values:【0-3】.
Explanation：Extra heating interation for this section.
Default：0
Note：
1:Only use this function when the printer quality is very bad.2：It is very unlikely to use any value above 1.</source>
        <translation>名称：中间打印区设置
取值：【0-3】
说明：该区域的额外加热次数。
默认值：0
注意：
1：仅在打印质量很差时使用此功能。
2：一般不会用到大于 1 的值。</translation>
    </message>
    <message>
        <source>Name: Left printing section setting
Values:【0-3】.
Explanation：Extra heating interation for this section.
Default：0
Note：
1:Only use this function when the printer quality is very bad.2：It is very unlikely to use any value above 1.</source>
        <translation>名称：左侧打印区设置
取值：【0-3】
说明：该区域的额外加热次数。
默认值：0
注意：
1：仅在打印质量很差时使用此功能。
2：一般不会用到大于 1 的值。</translation>
    </message>
    <message>
        <source>Name: Internal Sensor Threshold.
Default  ：15000.
Explanation: The threshold between the index change of between paper and gap.
Note: The value may have great effect in printing.</source>
        <translation>名称：内部传感器阈值
默认值：15000
说明：区分纸张与间隙的检测阈值。
注意：该值对打印效果影响很大。</translation>
    </message>
    <message>
        <source>%1 ... (%2 bytes)</source>
        <translation>%1 …（%2 字节）</translation>
    </message>
    <message>
        <source>no answer is known for %1</source>
        <translation>%1 没有已知的应答</translation>
    </message>
    <message>
        <source>not an answer to %1</source>
        <translation>不是对 %1 的应答</translation>
    </message>
    <message>
        <source>too short for an answer to %1</source>
        <translation>作为对 %1 的应答太短</translation>
    </message>
    <message>
        <source>too long for an answer to %1</source>
        <translation>作为对 %1 的应答太长</translation>
    </message>
    <message>
        <source>echoes other values than %1 sent</source>
        <translation>回显的数值与 %1 发送的不同</translation>
    </message>
    <message>
        <source>came before this command</source>
        <translation>在此命令之前到达</translation>
    </message>
    <message>
        <source>ignored %1: %2</source>
        <translation>已忽略 %1：%2</translation>
    </message>
    <message>
        <source>Please Check Issue</source>
        <translation>请检查问题</translation>
    </message>
    <message>
        <source>Label</source>
        <translation>标签</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>小票</translation>
    </message>
    <message>
        <source>Back Paper</source>
        <translation>回收底纸</translation>
    </message>
    <message>
        <source>No Back Paper</source>
        <translation>不回收底纸</translation>
    </message>
    <message>
        <source>Paper Type:</source>
        <translation>纸张类型：</translation>
    </message>
    <message>
        <source>start Print Location:</source>
        <translation>打印起始位置：</translation>
    </message>
    <message>
        <source>Opto Compare Value:</source>
        <translation>光耦比较值：</translation>
    </message>
    <message>
        <source>Back Paper Status:</source>
        <translation>底纸状态：</translation>
    </message>
    <message>
        <source>Pull Back Distance:</source>
        <translation>回退距离：</translation>
    </message>
    <message>
        <source>Extra Feed Distance:</source>
        <translation>额外走纸距离：</translation>
    </message>
    <message>
        <source>Heating Level:</source>
        <translation>加热等级：</translation>
    </message>
    <message>
        <source>Left Location Heat Time:</source>
        <translation>左侧加热：</translation>
    </message>
    <message>
        <source>Middle Location Heat Time:</source>
        <translation>中间加热：</translation>
    </message>
    <message>
        <source>Right Location Heat Time:</source>
        <translation>右侧加热：</translation>
    </message>
</context>
<context>
    <name>messagedialog</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>text</source>
        <translation>正文</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>确认</translation>
    </message>
</context>
<context>
    <name>sendordertoprinter_test</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Start
Print Test</source>
        <translation>开始
打印测试</translation>
    </message>
    <message>
        <source>Start 
BackUp </source>
        <translation>开始
备份</translation>
    </message>
    <message>
        <source>Reset Parameters</source>
        <translation>参数复位</translation>
    </message>
    <message>
        <source>Current Settings</source>
        <translation>当前设置</translation>
    </message>
    <message>
        <source>Paper Check</source>
        <translation>纸张检测</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>小票</translation>
    </message>
    <message>
        <source>No Back Paper</source>
        <translation>不回收底纸</translation>
    </message>
    <message>
        <source>Label</source>
        <translation>标签</translation>
    </message>
    <message>
        <source>Back Paper</source>
        <translation>回收底纸</translation>
    </message>
    <message>
        <source>Paper Reset</source>
        <translation>纸张复位</translation>
    </message>
    <message>
        <source>Paper Replacement</source>
        <translation>更换纸张</translation>
    </message>
    <message>
        <source>Paper bin with paper</source>
        <translation>纸仓有纸</translation>
    </message>
    <message>
        <source>Start Position</source>
        <translation>起始位置</translation>
    </message>
    <message>
        <source>Heating</source>
        <translation>加热等级</translation>
    </message>
    <message>
        <source>Speed Level</source>
        <translation>速度等级</translation>
    </message>
    <message>
        <source>Roll Back Distance</source>
        <translation>回退距离</translation>
    </message>
    <message>
        <source>Extra Feed</source>
        <translation>额外走纸</translation>
    </message>
    <message>
        <source>Right Location Heat Time</source>
        <translation>右侧加热</translation>
    </message>
    <message>
        <source>Middle Location Heat Time</source>
        <translation>中间加热</translation>
    </message>
    <message>
        <source>Left Location Heat Time</source>
        <translation>左侧加热</translation>
    </message>
    <message>
        <source>Opto Compare Value</source>
        <translation>光耦比较值</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Current Parameters:</source>
        <translation>当前参数：</translation>
    </message>
    <message>
        <source>Parameters Description:</source>
        <translation>参数说明：</translation>
    </message>
    <message>
        <source>VersionLoopup</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Feed</source>
        <translation>走纸</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>恢复</translation>
    </message>
    <message>
        <source>Clear Data</source>
        <translation>清除数据</translation>
    </message>
    <message>
        <source>Power Off</source>
        <translation>关机</translation>
    </message>
    <message>
        <source>Fail</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>Please insert U disk!</source>
        <translation>请插入U盘！</translation>
    </message>
    <message>
        <source>Backup...</source>
        <translation>正在备份…</translation>
    </message>
    <message>
        <source>Restore...</source>
        <translation>正在恢复…</translation>
    </message>
    <message>
        <source> </source>
        <translation> </translation>
    </message>
    <message>
        <source>Clear Data Ok </source>
        <translation>数据已清除</translation>
    </message>
    <message>
        <source>Power Off... </source>
        <translation>正在关机…</translation>
    </message>
    <message>
        <source>Parameter Settings: Back Paper Collection
Explanation: Back paper collection setting
Caution: It is default to NO collection when it is set to receipt mode.</source>
        <translation>参数设置：底纸回收
说明：设置是否回收底纸。
注意：设为小票模式时，默认不回收底纸。</translation>
    </message>
    <message>
        <source>Setting Failed! Please check command</source>
        <translation>设置失败！请检查命令</translation>
    </message>
    <message>
        <source>No longer collecting back paper</source>
        <translation>已停止回收底纸</translation>
    </message>
    <message>
        <source>Now colleccting back paper</source>
        <translation>已开始回收底纸</translation>
    </message>
    <message>
        <source>Paper Type: Label</source>
        <translation>纸张类型：标签</translation>
    </message>
    <message>
        <source>Parameter Name: Label Settings
Explanation: Change mode to label mode.
Caution: If mode is changed from receipt to label, please recalibrate the printer.</source>
        <translation>参数名称：标签设置
说明：切换到标签模式。
注意：由小票模式切换为标签模式后，请重新校准打印机。</translation>
    </message>
    <message>
        <source>Paper Type: Receipt</source>
        <translation>纸张类型：小票</translation>
    </message>
    <message>
        <source>Parameter Name: Current Settings
Explanation: Lookup all current settings.</source>
        <translation>参数名称：当前设置
说明：查询当前所有设置。</translation>
    </message>
    <message>
        <source>Parameter Name: Parameter Reset.
Explanation: Reset all parameters to default values.</source>
        <translation>参数名称：参数复位
说明：将所有参数恢复为默认值。</translation>
    </message>
    <message>
        <source>No answer from printer</source>
        <translation>打印机无应答</translation>
    </message>
    <message>
        <source>No Input Found</source>
        <translation>未输入数值</translation>
    </message>
    <message>
        <source>Incorrect Parameter Value</source>
        <translation>参数值不正确</translation>
    </message>
    <message>
        <source>Settings Failed</source>
        <translation>设置失败</translation>
    </message>
    <message>
        <source>Setting Failed! Incorrect Parameter Value</source>
        <translation>设置失败！参数值不正确</translation>
    </message>
    <message>
        <source>Reset to default heating

Please check Current Settings</source>
        <translation>已恢复默认加热

请查看当前设置</translation>
    </message>
    <message>
        <source>Invalid Input. Must not be negative.</source>
        <translation>输入无效，不能为负数。</translation>
    </message>
    <message>
        <source>Internel Sensor Threshold has been set.</source>
        <translation>内部传感器阈值已设置。</translation>
    </message>
    <message>
        <source>Loaded paper</source>
        <translation>已装纸</translation>
    </message>
    <message>
        <source>Paper not loaded</source>
        <translation>未装纸</translation>
    </message>
    <message>
        <source>Label left</source>
        <translation>有剩余标签</translation>
    </message>
    <message>
        <source>None label left</source>
        <translation>无剩余标签</translation>
    </message>
    <message>
        <source>Current Version:</source>
        <translation>当前版本：</translation>
    </message>
    <message>
        <source>ameter Name: Version Lookup
Explanation: Check the current printer veriosn number.</source>
        <translation>参数名称：版本查询
说明：查询打印机当前的版本号。</translation>
    </message>
    <message>
        <source>Paper Not Detected</source>
        <translation>未检测到纸张</translation>
    </message>
    <message>
        <source>Paper Detected</source>
        <translation>检测到纸张</translation>
    </message>
    <message>
        <source>Parameter Name: Paper sensor status</source>
        <translation>参数名称：纸张传感器状态</translation>
    </message>
    <message>
        <source>%1 files, %2</source>
        <translation>%1 个文件，%2</translation>
    </message>
    <message>
        <source>Delete the databases appdb and Misc and the folder %1? This cannot be undone.</source>
        <translation>删除数据库 appdb 和 Misc 以及文件夹 %1？此操作无法撤销。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Power off failed: %1</source>
        <translation>关机失败：%1</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>正在检查…</translation>
    </message>
    <message>
        <source>an unknown date</source>
        <translation>未知日期</translation>
    </message>
    <message>
        <source>Replace %1 and the databases appdb and Misc with the backup of %2 (%3)? What they hold now will be lost.</source>
        <translation>用 %2 的备份（%3）替换 %1 以及数据库 appdb 和 Misc？它们现有的内容将会丢失。</translation>
    </message>
    <message>
        <source>Replace %1 and the databases appdb and Misc with an older panel&apos;s backup (%2)? It cannot be verified.</source>
        <translation>用旧版面板写入的备份（%2）替换 %1 以及数据库 appdb 和 Misc？该备份无法校验。</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Replace %1 and the databases appdb and Misc with the backup of %2 from %3 (%4)? What they hold now will be lost.</source>
        <translation>用 %2 于 %3 做的备份（%4）替换 %1 以及数据库 appdb 和 Misc？它们现有的内容将会丢失。</translation>
    </message>
    <message>
        <source>This backup was made on another device: %1.</source>
        <translation>此备份来自另一台设备：%1。</translation>
    </message>
    <message>
        <source>The U disk holds the backup of %1 from %2 (%3). Replace it with a backup of this device?</source>
        <translation>U盘上存有 %1 于 %2 做的备份（%3）。要用本设备的备份替换它吗？</translation>
    </message>
    <message>
        <source>The U disk is not mounted at %1.</source>
        <translation>U盘未挂载到 %1。</translation>
    </message>
    <message>
        <source>Printer port %1 cannot be opened: %2</source>
        <translation>无法打开打印机端口 %1：%2</translation>
    </message>
    <message>
        <source>Replace the backup of %1 on the U disk? It is deleted before the new one is written.</source>
        <translation>替换U盘上 %1 的备份？它会在写入新备份之前被删除。</translation>
    </message>
    <message>
        <source>Clear Data...</source>
        <translation>正在清除数据…</translation>
    </message>
</context>
</TS>

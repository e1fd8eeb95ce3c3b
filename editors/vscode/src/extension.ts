// NC programs in VS Code: vostrel-lsp as the language server, and the
// compile command, which runs vostrelc on the program in the editor.

import * as path from 'path';
import { execFile } from 'child_process';
import * as vscode from 'vscode';
import { LanguageClient, LanguageClientOptions, ServerOptions } from 'vscode-languageclient/node';

let client: LanguageClient | undefined;
let output: vscode.OutputChannel | undefined;

function settings() {
  const config = vscode.workspace.getConfiguration('vostrel');
  return {
    serverPath: config.get<string>('serverPath') || 'vostrel-lsp',
    compilerPath: config.get<string>('compilerPath') || 'vostrelc',
    settingsFile: config.get<string>('settingsFile') || '',
    ifWords: (config.get<string[]>('ifWords') || []).slice(0, 10),
  };
}

// vostrelc on the program in the editor, saved first; the output file is
// asked for (the dialog asks before replacing a file).
async function compile(): Promise<void> {
  const editor = vscode.window.activeTextEditor;
  if (!editor || editor.document.uri.scheme !== 'file') {
    vscode.window.showErrorMessage('Vostrel: open an NC program saved as a file to compile it.');
    return;
  }
  if (!(await editor.document.save()) && editor.document.isDirty) return;
  const source = editor.document.uri.fsPath;
  const parsed = path.parse(source);
  const target = await vscode.window.showSaveDialog({
    defaultUri: vscode.Uri.file(path.join(parsed.dir, parsed.name + '.out' + parsed.ext)),
    title: 'Vostrel: compiled program',
  });
  if (!target) return;
  if (target.fsPath === source) {
    vscode.window.showErrorMessage('Vostrel: the compiled program cannot replace its source.');
    return;
  }
  const { compilerPath, settingsFile, ifWords } = settings();
  const args: string[] = [];
  if (settingsFile) args.push('--ini', settingsFile);
  for (const word of ifWords) args.push('-a', word);
  args.push('--force', '-o', target.fsPath, source);
  const folder = vscode.workspace.getWorkspaceFolder(editor.document.uri);
  output!.clear();
  output!.appendLine(`${compilerPath} ${args.join(' ')}`);
  execFile(compilerPath, args, { cwd: folder ? folder.uri.fsPath : parsed.dir, encoding: 'utf8' },
    (error, stdout, stderr) => {
      output!.append(stdout);
      output!.append(stderr);
      const status = error ? (typeof error.code === 'number' ? error.code : -1) : 0;
      if (status === 0) {
        vscode.window.showInformationMessage(`Vostrel: compiled into ${path.basename(target.fsPath)}.`);
      } else {
        output!.show(true);
        vscode.window.showErrorMessage(status === 1 ? 'Vostrel: the run was stopped by an input error (see the log).'
          : `Vostrel: ${compilerPath} failed (${error!.message}).`);
      }
    });
}

export async function activate(context: vscode.ExtensionContext): Promise<void> {
  output = vscode.window.createOutputChannel('Vostrel');
  context.subscriptions.push(output, vscode.commands.registerCommand('vostrel.compile', compile));
  const { serverPath, settingsFile, ifWords } = settings();
  const args = ['--stdio'];
  if (settingsFile) args.push('--ini', settingsFile);
  const serverOptions: ServerOptions = { command: serverPath, args };
  const clientOptions: LanguageClientOptions = {
    documentSelector: [{ scheme: 'file', language: 'vostrel-nc' }],
    initializationOptions: { ifWords },
    synchronize: { configurationSection: 'vostrel' },
    outputChannel: output,
  };
  client = new LanguageClient('vostrel', 'Vostrel', serverOptions, clientOptions);
  try {
    await client.start();
  } catch (error) {
    vscode.window.showErrorMessage(`Vostrel: cannot start ${serverPath} (set vostrel.serverPath): ${error}`);
  }
}

export async function deactivate(): Promise<void> {
  if (client) await client.stop();
}
